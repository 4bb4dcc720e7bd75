// Fuzz target: reading a bitmap file for printing (from memory, as from a file).
#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include "print/BitmapFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImage image;
    if (ReadBitmap(buffer, image) && (image.isNull() || image.width() <= 0)) __builtin_trap();
    return 0;
}
