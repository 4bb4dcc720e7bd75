#include "print/BitmapFile.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "image/ByteOrder.h"
#include "image/PixelBound.h"

using kws::img::Get16;
using kws::img::Get32;

namespace {

constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kBitFields = 3;  // compression: explicit colour masks follow the header

// One colour channel of a 16- or 32-bit pixel, widened to 8 bits with rounding.
class Channel {
public:
    explicit Channel(uint32_t mask)
        : mask_(mask), shift_(mask ? std::countr_zero(mask) : 0), max_(mask >> shift_) {}
    uint8_t operator()(uint32_t pixel) const {
        if (max_ == 0) return 0;
        const uint64_t v = (pixel & mask_) >> shift_;
        return static_cast<uint8_t>((v * 255 + max_ / 2) / max_);
    }

private:
    uint32_t mask_;
    int shift_;
    uint32_t max_;
};

// What the headers say, checked.
struct Layout {
    int64_t width = 0, height = 0;
    int bits = 0;
    bool topDown = false;
    bool core = false;  // the old 12-byte header: 3-byte palette entries
    uint32_t masks[3] = {};
    uint32_t paletteEntries = 0;
    uint64_t stride = 0;
};

bool IsValidDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads and checks both headers and the masks; leaves the file at the colour table.
bool ReadLayout(QIODevice& file, Layout& l, qint64& pixelStart) {
    uint8_t fileHeader[14] = {};
    if (file.read(reinterpret_cast<char*>(fileHeader), 14) != 14) return false;
    qint64 base = 0;          // where the information header starts
    qint64 pixelOffset = -1;  // from the file header, when there is one
    if (fileHeader[0] == 'B' && fileHeader[1] == 'M') {
        base = 14;
        pixelOffset = Get32(fileHeader + 10);
    }
    uint8_t info[kInfoHeaderBytes] = {};
    if (!file.seek(base)) return false;
    const qint64 got = file.read(reinterpret_cast<char*>(info), kInfoHeaderBytes);
    const uint32_t headerSize = got >= 4 ? Get32(info) : 0;
    uint32_t compression = 0, colors = 0;
    if (headerSize == kCoreHeaderBytes && got >= kCoreHeaderBytes) {
        l.core = true;
        l.width = Get16(info + 4);
        l.height = static_cast<int16_t>(Get16(info + 6));
        l.bits = Get16(info + 10);
    } else if (headerSize == kInfoHeaderBytes && got == kInfoHeaderBytes) {
        l.width = static_cast<int32_t>(Get32(info + 4));
        l.height = static_cast<int32_t>(Get32(info + 8));
        l.bits = Get16(info + 14);
        compression = Get32(info + 16);
        colors = Get32(info + 32);
    } else {
        return false;
    }
    if (l.width <= 0 || l.height == 0 || !IsValidDepth(l.bits)) return false;
    // Uncompressed, or bit fields for 16 and 32 bits; run-length forms are not read.
    if (compression != 0 && !(compression == kBitFields && (l.bits == 16 || l.bits == 32)))
        return false;
    l.topDown = l.height < 0;
    l.height = l.topDown ? -l.height : l.height;
    l.stride = ((static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.bits) + 31) / 32) * 4;

    qint64 tableAt = base + headerSize;
    if (compression == kBitFields) {
        uint8_t m[12];
        if (!file.seek(tableAt) || file.read(reinterpret_cast<char*>(m), 12) != 12) return false;
        for (int i = 0; i < 3; ++i) l.masks[i] = Get32(m + 4 * i);
        tableAt += 12;
    } else if (l.bits == 16) {
        l.masks[0] = 0x7C00;
        l.masks[1] = 0x03E0;
        l.masks[2] = 0x001F;
    } else if (l.bits == 32) {
        l.masks[0] = 0x00FF0000;
        l.masks[1] = 0x0000FF00;
        l.masks[2] = 0x000000FF;
    }
    // A colour count of 0 means the full palette of an indexed depth; deeper pictures may carry
    // a table too (a hint for displays), which is skipped.
    if (colors == 0 && l.bits <= 8) colors = 1u << l.bits;
    if (colors > (l.bits <= 8 ? 1u << l.bits : 256u)) return false;
    l.paletteEntries = l.bits <= 8 ? colors : 0;
    const qint64 entryBytes = l.core ? 3 : 4;
    pixelStart = pixelOffset >= 0 ? pixelOffset : tableAt + colors * entryBytes;
    return file.seek(tableAt);
}

}  // namespace

bool ReadBitmapFile(const QString& path, QImage& out) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && ReadBitmap(file, out);
}

bool ReadBitmap(QIODevice& file, QImage& out) {
    if (!file.isOpen() || file.isSequential() || !file.seek(0)) return false;
    Layout l;
    qint64 pixelStart = 0;
    if (!ReadLayout(file, l, pixelStart)) return false;
    // Nothing is allocated before the declared size has been weighed against the file.
    const qint64 fileSize = file.size();
    if (pixelStart < 0 || pixelStart >= fileSize) return false;
    const uint64_t declared = l.stride * static_cast<uint64_t>(l.height);
    if (!kws::img::PixelBlockPlausible(declared, static_cast<uint64_t>(fileSize - pixelStart)))
        return false;
    if (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) * 4 >
        kws::img::kMaxPixelBytes) {
        return false;  // the decoded picture (4 bytes a pixel) would be too large
    }

    std::vector<QRgb> table(l.bits <= 8 ? 1u << l.bits : 0, qRgb(0, 0, 0));
    for (uint32_t i = 0; i < l.paletteEntries; ++i) {
        uint8_t e[4] = {};
        const int size = l.core ? 3 : 4;
        if (file.read(reinterpret_cast<char*>(e), size) != size) return false;
        table[i] = qRgb(e[2], e[1], e[0]);
    }
    if (!file.seek(pixelStart)) return false;
    std::vector<uint8_t> pixels(static_cast<size_t>(declared), 0);
    // In pieces of at most 32 KiB; a short file leaves the rest blank.
    size_t done = 0;
    while (done < pixels.size()) {
        const qint64 n =
            file.read(reinterpret_cast<char*>(pixels.data() + done),
                      static_cast<qint64>(std::min<size_t>(32768, pixels.size() - done)));
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }

    QImage image(static_cast<int>(l.width), static_cast<int>(l.height), QImage::Format_RGB32);
    if (image.isNull()) return false;
    const Channel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]);
    for (int64_t y = 0; y < l.height; ++y) {
        const uint8_t* row =
            pixels.data() + l.stride * static_cast<uint64_t>(l.topDown ? y : l.height - 1 - y);
        QRgb* to = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (int64_t x = 0; x < l.width; ++x) {
            switch (l.bits) {
                case 1: to[x] = table[(row[x / 8] >> (7 - x % 8)) & 1]; break;
                case 4: to[x] = table[(x % 2 ? row[x / 2] : row[x / 2] >> 4) & 0x0F]; break;
                case 8: to[x] = table[row[x]]; break;
                case 16: {
                    const uint32_t v = Get16(row + 2 * x);
                    to[x] = qRgb(red(v), green(v), blue(v));
                    break;
                }
                case 24: to[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
                case 32: {
                    const uint32_t v = Get32(row + 4 * x);
                    to[x] = qRgb(red(v), green(v), blue(v));
                    break;
                }
            }
        }
    }
    out = image;
    return true;
}
