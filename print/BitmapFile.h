// Reading a device-independent bitmap file for printing: with or without its 14-byte file
// header, with a 40-byte or an old 12-byte core information header.
#pragma once

#include <QImage>
#include <QString>

// False (and nothing in `out`) for anything that is not such a bitmap or lies about its size.
bool ReadBitmapFile(const QString& path, QImage& out);
