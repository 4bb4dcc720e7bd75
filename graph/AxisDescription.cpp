#include "graph/AxisDescription.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "res/Resources.h"

namespace {

// A text that goes into a format: its "%" must stay a "%".
std::string Escaped(const QString& text) {
    std::string out;
    for (char c : text.toStdString()) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

}  // namespace

void AxisDescription::Set(const QString& name, const QString& units, int precision) {
    name_ = name;
    units_ = units;
    precision_ = precision;
    Rebuild();
}

void AxisDescription::Rebuild() {
    using kws::res::FormatText;
    // Precision is limited so that the formats stay sane whatever the caller asks for.
    const int p = std::clamp(precision_, 0, 30);
    const std::string units = Escaped(units_);
    formats_[0] = FormatText("%%0.%df", p);
    formats_[1] = FormatText("%%0.%df %s", p, units.c_str());
    formats_[2] = FormatText("%s: %%0.%df %s", Escaped(name_).c_str(), p, units.c_str());
}

QString AxisDescription::FormatValue(double value, int formatIndex) const {
    if (formatIndex < 0 || formatIndex > 2) return {};
    return QString::fromStdString(kws::res::FormatText(formats_[formatIndex].c_str(), value));
}

QString AxisDescription::FormatReading(double value, int decimals, bool withUnits) const {
    const int d = std::clamp(std::max(decimals, precision_), 0, 15);
    QString text = QString::asprintf("%.*f", d, value);
    // A value that rounds to zero is zero, without a sign.
    if (text.startsWith('-') && !text.contains(QRegularExpression("[1-9]"))) text.remove(0, 1);
    const QString point =
        QLocale(QString::fromStdString(kws::res::CurrentLanguageTag())).decimalPoint();
    text.replace('.', point);
    return !withUnits || units_.isEmpty() ? text : text + ' ' + units_;
}
