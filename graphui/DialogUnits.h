// Dialog units: the layout unit of the program's dialogs, a quarter of the dialog font's
// average character width horizontally and an eighth of its height vertically.
#pragma once

#include <QFont>
#include <QRect>

class QWidget;

// The font the dialogs are laid out in ("MS Sans Serif" 8, or its closest match).
QFont DialogFont();

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font = DialogFont());
    int X(int du) const { return du * baseX_ / 4; }
    int Y(int du) const { return du * baseY_ / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }
    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};
