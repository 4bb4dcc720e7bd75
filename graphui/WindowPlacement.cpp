#include "graphui/WindowPlacement.h"

#include <QScreen>

#include <algorithm>

void PlaceBeside(QWidget& window, const QWidget& result) {
    const QScreen* screen = result.screen() != nullptr ? result.screen() : window.screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QRect outer = result.frameGeometry();
    // This window's frame is not known before it shows; take the result window's edges.
    const QMargins edges(
        result.geometry().left() - outer.left(), result.geometry().top() - outer.top(),
        outer.right() - result.geometry().right(), outer.bottom() - result.geometry().bottom());
    const int fullWidth = window.width() + edges.left() + edges.right();
    const int fullHeight = window.height() + edges.top() + edges.bottom();
    const int roomRight = area.right() - outer.right();
    const int roomLeft = outer.left() - area.left();
    int left;
    if (roomRight >= fullWidth) {
        left = outer.right() + 1;
    } else if (roomLeft >= fullWidth) {
        left = outer.left() - fullWidth;
    } else if (roomRight >= roomLeft) {
        left = area.right() + 1 - fullWidth;
    } else {
        left = area.left();
    }
    const int top =
        std::clamp(outer.top(), area.top(), std::max(area.top(), area.bottom() + 1 - fullHeight));
    window.move(left, top);  // a window's position is that of its frame
}
