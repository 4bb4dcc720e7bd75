// Where the windows that open beside the result dialog (statistics, days) go.
#pragma once

#include <QWidget>

// Moves `window` beside `result`, not over its graph: on the right where the screen has room,
// else on the left, else on the side with more room, as far out as the screen allows; its top
// level with the result's, within the screen.
void PlaceBeside(QWidget& window, const QWidget& result);
