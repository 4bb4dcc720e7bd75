#include "print/BitmapFile.h"

#include <QFile>

#include <cstdint>
#include <vector>

namespace {

uint32_t Get32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

constexpr uint64_t kMaxPixelBytes = 1ull << 30;

}  // namespace

bool ReadBitmapFile(const QString& path, QImage& out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    uint8_t fileHeader[14] = {};
    if (file.read(reinterpret_cast<char*>(fileHeader), 14) != 14) return false;
    qint64 base = 0;          // where the bitmap (information header) starts
    qint64 pixelOffset = -1;  // from the file header, when there is one
    if (fileHeader[0] == 'B' && fileHeader[1] == 'M') {
        base = 14;
        pixelOffset = Get32(fileHeader + 10);
    } else {
        file.seek(0);  // a bare bitmap without file header
    }
    uint8_t info[40] = {};
    if (file.read(reinterpret_cast<char*>(info), 40) != 40 && Get32(info) != 12) return false;
    const uint32_t headerSize = Get32(info);
    int64_t width, height;
    int bits;
    uint32_t compression = 0, colors = 0, imageSize = 0;
    bool core = false;
    if (headerSize == 12) {
        // The old core header: 16-bit fields; the colour table follows at once.
        core = true;
        width = Get16(info + 4);
        height = static_cast<int16_t>(Get16(info + 6));
        bits = Get16(info + 10);
        file.seek(base + 12);
    } else if (headerSize == 40) {
        width = static_cast<int32_t>(Get32(info + 4));
        height = static_cast<int32_t>(Get32(info + 8));
        bits = Get16(info + 14);
        compression = Get32(info + 16);
        imageSize = Get32(info + 20);
        colors = Get32(info + 32);
    } else {
        return false;
    }
    if (width <= 0 || height == 0 || compression != 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool topDown = height < 0;
    if (topDown) height = -height;
    const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    if (stride * static_cast<uint64_t>(height) > kMaxPixelBytes) return false;
    if (imageSize == 0) imageSize = static_cast<uint32_t>(stride * static_cast<uint64_t>(height));
    if (colors == 0 && bits <= 8) colors = 1u << bits;
    if (bits <= 8 && colors > (1u << bits)) return false;
    // The colour table: 4-byte entries, or 3-byte ones after a core header.
    std::vector<QRgb> table(bits <= 8 ? (1u << bits) : 0, qRgb(0, 0, 0));
    for (uint32_t i = 0; i < colors && bits <= 8; ++i) {
        uint8_t e[4] = {};
        const int size = core ? 3 : 4;
        if (file.read(reinterpret_cast<char*>(e), size) != size) return false;
        table[i] = qRgb(e[2], e[1], e[0]);
    }
    if (pixelOffset >= 0) file.seek(pixelOffset);
    std::vector<uint8_t> pixels(static_cast<size_t>(stride * static_cast<uint64_t>(height)), 0);
    // In pieces of at most 32 KiB; a short file leaves the rest blank.
    size_t done = 0;
    while (done < pixels.size()) {
        const qint64 n =
            file.read(reinterpret_cast<char*>(pixels.data() + done),
                      static_cast<qint64>(std::min<size_t>(32768, pixels.size() - done)));
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull()) return false;
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* row =
            pixels.data() + stride * static_cast<uint64_t>(topDown ? y : height - 1 - y);
        QRgb* to = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (int64_t x = 0; x < width; ++x) {
            switch (bits) {
                case 1: to[x] = table[(row[x / 8] >> (7 - x % 8)) & 1]; break;
                case 4: to[x] = table[(x % 2 ? row[x / 2] : row[x / 2] >> 4) & 0x0F]; break;
                case 8: to[x] = table[row[x]]; break;
                case 16: {
                    const uint16_t v = Get16(row + 2 * x);
                    to[x] = qRgb(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31,
                                 (v & 31) * 255 / 31);
                    break;
                }
                case 24: to[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
                case 32: to[x] = qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]); break;
            }
        }
    }
    out = image;
    return true;
}
