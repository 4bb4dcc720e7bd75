// Reading a device-independent bitmap file for printing: with or without its 14-byte file
// header, with a 40-byte or an old 12-byte core information header, bottom-up or top-down, at
// 1, 4, 8, 16, 24 or 32 bits, uncompressed or (16 and 32 bits) with explicit colour masks.
#pragma once

#include <QIODevice>
#include <QImage>
#include <QString>

// False (and nothing in `out`) for anything that is not such a bitmap, or whose header declares
// more pixels than the file could hold; the declaration is checked before anything is allocated.
bool ReadBitmapFile(const QString& path, QImage& out);
// The same from an open device that can seek (a file, a buffer).
bool ReadBitmap(QIODevice& device, QImage& out);
