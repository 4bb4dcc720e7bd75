// The application's icon (icon 128): a curve over a grid with a drop of hot water.
#pragma once

#include <QIcon>

QIcon AppIcon();
