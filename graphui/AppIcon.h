// The application's icon (icon 128): a curve over a grid with a drop of hot water, and its name.
#pragma once

#include <QIcon>
#include <QString>

QIcon AppIcon();

// The application's name where a message or a print job names the program ("KW_bew_sekunde").
// Window captions carry only their own texts.
QString AppTitle();
