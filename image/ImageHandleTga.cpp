#include "image/ImageHandleTga.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "image/ByteOrder.h"

using namespace kws::img;

namespace {

constexpr size_t kHeaderBytes = 18;
constexpr char kIdentification[] = "Lumox -- TGA";  // 12 bytes, written without terminator

// A channel of a 16-bit pixel under `mask`, scaled to 5 bits with rounding.
uint16_t FiveBits(uint16_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const uint32_t max = mask >> shift;
    return static_cast<uint16_t>((((pixel & mask) >> shift) * 31 + max / 2) / max);
}

// A row of 16-bit pixels as the file's 5-5-5 form (the only 16-bit form TGA knows), whatever
// masks the image has (5-6-5 pictures, for example).
void RowAs555(const FCObjImage& image, int y, uint8_t* out) {
    const uint32_t* m = image.Masks();
    const uint8_t* row = image.GetBits(y);
    for (int x = 0; x < image.Width(); ++x) {
        const uint16_t v = Get16(row + 2 * x);
        Put16(out + 2 * x, static_cast<uint16_t>(FiveBits(v, m[0]) << 10 | FiveBits(v, m[1]) << 5 |
                                                 FiveBits(v, m[2])));
    }
}

// Where decoded pixels go: the rows in the order the file stores them, each put straight into
// its picture row (no staging copy of the whole picture). Data beyond the last row is dropped.
class RowWriter {
public:
    RowWriter(FCObjImage& image, size_t pixelBytes, bool topFirst)
        : image_(image),
          pixelBytes_(pixelBytes),
          rowBytes_(static_cast<size_t>(image.Width()) * pixelBytes),
          height_(image.Height()),
          topFirst_(topFirst) {}

    bool Done() const { return row_ >= height_; }

    // Copies `bytes` bytes of stored pixels.
    void Put(const uint8_t* from, size_t bytes) {
        while (bytes > 0 && !Done()) {
            const size_t n = std::min(bytes, rowBytes_ - offset_);
            std::memcpy(Row() + offset_, from, n);
            from += n;
            bytes -= n;
            Advance(n);
        }
    }

    // Repeats one pixel `count` times.
    void Repeat(const uint8_t* pixel, size_t count) {
        while (count > 0 && !Done()) {
            const size_t n = std::min(count, (rowBytes_ - offset_) / pixelBytes_);
            uint8_t* to = Row() + offset_;
            for (size_t i = 0; i < n; ++i) std::memcpy(to + i * pixelBytes_, pixel, pixelBytes_);
            count -= n;
            Advance(n * pixelBytes_);
        }
    }

private:
    uint8_t* Row() const { return image_.GetBits(topFirst_ ? row_ : height_ - 1 - row_); }
    void Advance(size_t bytes) {
        offset_ += bytes;
        if (offset_ >= rowBytes_) {
            offset_ = 0;
            ++row_;
        }
    }

    FCObjImage& image_;
    size_t pixelBytes_, rowBytes_;
    int height_;
    bool topFirst_;
    int row_ = 0;
    size_t offset_ = 0;
};

}  // namespace

bool FCImageHandle_Tga::Encode(const FCObjImage& image, std::vector<uint8_t>& out) {
    if (!image.HasPixels()) return false;
    const int bits = image.ColorBits();
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (image.Width() > 65535 || image.Height() > 65535) return false;
    const size_t idBytes = sizeof kIdentification - 1;
    const size_t mapBytes = bits == 8 ? 768 : 0;
    const size_t rowBytes = static_cast<size_t>(image.Width()) * static_cast<size_t>(bits / 8);
    out.assign(kHeaderBytes + idBytes + mapBytes + rowBytes * static_cast<size_t>(image.Height()),
               0);
    uint8_t* p = out.data();
    p[0] = static_cast<uint8_t>(idBytes);
    p[1] = bits == 8 ? 1 : 0;
    p[2] = bits == 8 ? 1 : 2;
    Put16(p + 3, 0);
    Put16(p + 5, 256);
    p[7] = 24;
    Put16(p + 8, 0);
    Put16(p + 10, 0);
    Put16(p + 12, static_cast<uint16_t>(image.Width()));
    Put16(p + 14, static_cast<uint16_t>(image.Height()));
    p[16] = static_cast<uint8_t>(bits);
    p[17] = 0x20;
    std::memcpy(p + kHeaderBytes, kIdentification, idBytes);
    uint8_t* at = p + kHeaderBytes + idBytes;
    if (bits == 8) {
        const RgbQuad* palette = image.Palette();
        for (int i = 0; i < 256; ++i) {
            *at++ = palette[i].blue;
            *at++ = palette[i].green;
            *at++ = palette[i].red;
        }
    }
    const bool convert = bits == 16 && !std::equal(image.Masks(), image.Masks() + 3,
                                                   std::begin(FCObjImage::kDefaultMasks));
    for (int y = 0; y < image.Height(); ++y) {
        if (convert) {
            RowAs555(image, y, at);
        } else {
            std::memcpy(at, image.GetBits(y), rowBytes);
        }
        at += rowBytes;
    }
    return true;
}

bool FCImageHandle_Tga::SaveToFile(const std::string& path, const ConstImageList& images,
                                   const FCImagePropertyList&) {
    return SaveFirstImage(path, images, Encode);
}

bool FCImageHandle_Tga::LoadFromMemory(const uint8_t* data, size_t size, ImageList& images,
                                       PropertyListHolder& properties) {
    if (data == nullptr || size <= kHeaderBytes) return false;
    const int idLength = data[0];
    const int mapType = data[1];
    const int imageType = data[2];
    const int firstEntry = Get16(data + 3);
    const int mapLength = Get16(data + 5);
    const int entryBits = data[7];
    const int width = Get16(data + 12);
    const int height = Get16(data + 14);
    int depth = data[16];
    const int descriptor = data[17];
    if (entryBits == 15 || entryBits == 16) return false;
    if (depth == 15) depth = 16;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
    const bool runLength = imageType == 9 || imageType == 10 || imageType == 11;
    const size_t pixelBytes = static_cast<size_t>(depth / 8);
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);

    size_t at = kHeaderBytes + static_cast<size_t>(idLength);
    if (at > size) return false;
    // A header claiming more pixels than its data could encode is refused before allocating:
    // a run-length packet of 1 + pixelBytes bytes gives at most 128 pixels.
    const uint64_t rest = size - at;
    const uint64_t possible = runLength ? rest / (1 + pixelBytes) * 128 + 128 : rest / pixelBytes;
    if (pixels > 4 * possible + 65536) return false;

    auto image = std::make_unique<FCObjImage>();
    if (!image->CreateBlank(width, height, depth)) return false;

    if (mapType == 1) {
        if (firstEntry + mapLength > 256) return false;
        const size_t entryBytes = entryBits == 32 ? 4 : 3;
        RgbQuad table[256] = {};
        for (int i = 0; i < mapLength; ++i) {
            if (at + entryBytes > size) return false;
            table[firstEntry + i] = {data[at], data[at + 1], data[at + 2], 0};
            at += entryBytes;
        }
        if (depth <= 8) image->WritePalette(0, 256, table);
    }

    // Pixels in stored order; run-length packets may run on across rows and are clipped at the
    // end of the picture. Missing data leaves the rest blank.
    RowWriter rows(*image, pixelBytes, (descriptor & 0x20) != 0);
    if (runLength) {
        while (!rows.Done() && at < size) {
            const uint8_t packet = data[at++];
            const size_t count = static_cast<size_t>(packet & 0x7F) + 1;
            if (packet & 0x80) {
                if (at + pixelBytes > size) break;
                rows.Repeat(data + at, count);
                at += pixelBytes;
            } else {
                const size_t bytes = std::min(count * pixelBytes, size - at);
                rows.Put(data + at, bytes);
                at += bytes;
            }
        }
    } else {
        rows.Put(data + at, size - at);
    }

    auto list = std::make_unique<FCImagePropertyList>();
    list->SetValue(kImagePropertyTgaRunLength, runLength ? "1" : "-1");
    properties = std::move(list);
    images.push_back(std::move(image));
    return true;
}
