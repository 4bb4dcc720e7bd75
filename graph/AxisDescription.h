// Name, units and precision of one axis, with its three value formats.
#pragma once

#include <QString>

#include <string>

class AxisDescription {
public:
    AxisDescription() { Rebuild(); }

    void Set(const QString& name, const QString& units, int precision);
    const QString& Name() const { return name_; }
    const QString& Units() const { return units_; }
    int Precision() const { return precision_; }
    // "name, units": the caption of the axis.
    QString Caption() const { return name_ + ", " + units_; }

    // Format 0: the value alone; 1: value and units; 2: name, value and units. Other indexes
    // give an empty text.
    QString FormatValue(double value, int formatIndex) const;
    const std::string& Format(int index) const { return formats_[index]; }
    // A reading of the axis for the user: the value with `decimals` decimals, or the axis
    // precision where that asks for more, the current language's decimal separator, a space
    // and the units (unless `withUnits` is false).
    QString FormatReading(double value, int decimals, bool withUnits = true) const;

private:
    void Rebuild();

    QString name_;
    QString units_;
    int precision_ = 3;
    std::string formats_[3];
};
