#include "graphui/DialogUnits.h"

#include <QFontMetrics>

QFont DialogFont() {
    // The dialogs were designed for a small sans-serif face; Liberation Sans has its metrics.
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics m(font);
    // The average width of the 52 letters, rounded as the platform rounds it.
    const int letters = m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = std::max(1, (letters / 26 + 1) / 2);
    baseY_ = std::max(1, m.height());
}
