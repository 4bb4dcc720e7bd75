#include "image/ImageHandleTga.h"

#include <cstdio>
#include <cstring>

#include "image/ByteOrder.h"

using namespace kws::img;

namespace {

constexpr size_t kHeaderBytes = 18;
constexpr char kIdentification[] = "Lumox -- TGA";  // 12 bytes, written without terminator

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
    for (int y = 0; y < image.Height(); ++y) {
        std::memcpy(at, image.GetBits(y), rowBytes);
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
    const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
    std::vector<uint8_t> stored(rowBytes * static_cast<size_t>(height));
    if (runLength) {
        size_t filled = 0;
        while (filled < stored.size() && at < size) {
            const uint8_t packet = data[at++];
            const size_t count = static_cast<size_t>(packet & 0x7F) + 1;
            if (packet & 0x80) {
                if (at + pixelBytes > size) break;
                for (size_t i = 0; i < count && filled < stored.size(); ++i) {
                    std::memcpy(stored.data() + filled, data + at, pixelBytes);
                    filled += pixelBytes;
                }
                at += pixelBytes;
            } else {
                const size_t bytes = std::min(count * pixelBytes, stored.size() - filled);
                if (at + bytes > size) {
                    std::memcpy(stored.data() + filled, data + at, size - at);
                    break;
                }
                std::memcpy(stored.data() + filled, data + at, bytes);
                filled += bytes;
                at += count * pixelBytes;
            }
        }
    } else {
        std::memcpy(stored.data(), data + at, std::min(stored.size(), size - at));
    }
    const bool topFirst = (descriptor & 0x20) != 0;
    for (int i = 0; i < height; ++i) {
        const int row = topFirst ? i : height - 1 - i;
        std::memcpy(image->GetBits(row), stored.data() + rowBytes * static_cast<size_t>(i),
                    rowBytes);
    }

    auto list = std::make_unique<FCImagePropertyList>();
    list->SetValue(kImagePropertyTgaRunLength, runLength ? "1" : "-1");
    properties = std::move(list);
    images.push_back(std::move(image));
    return true;
}
