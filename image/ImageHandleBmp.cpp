#include "image/ImageHandleBmp.h"

#include <cstring>

#include "image/ByteOrder.h"
#include "image/PixelBound.h"

using namespace kws::img;

namespace {
constexpr size_t kFileHeaderBytes = 14;
}

bool FCImageHandle_Bmp::Encode(const FCObjImage& image, std::vector<uint8_t>& out) {
    if (!image.HasPixels()) return false;
    const BitmapInfoHeader& h = image.Header();
    size_t headerBytes = kFileHeaderBytes + BitmapInfoHeader::kBytes;
    if (h.bitCount <= 8) {
        headerBytes += 4u << h.bitCount;
    } else if (h.compression == 3) {
        headerBytes += 12;
    }
    const size_t pixelBytes = image.PixelBytes();
    out.assign(headerBytes + pixelBytes, 0);
    uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, static_cast<uint32_t>(headerBytes + pixelBytes));
    Put32(p + 10, static_cast<uint32_t>(headerBytes));
    h.Write(p + kFileHeaderBytes);
    uint8_t* extra = p + kFileHeaderBytes + BitmapInfoHeader::kBytes;
    if (h.bitCount <= 8) {
        const RgbQuad* palette = image.Palette();
        for (int i = 0; i < (1 << h.bitCount); ++i) {
            extra[4 * i] = palette[i].blue;
            extra[4 * i + 1] = palette[i].green;
            extra[4 * i + 2] = palette[i].red;
            extra[4 * i + 3] = 0;
        }
    } else if (h.compression == 3) {
        for (int i = 0; i < 3; ++i) Put32(extra + 4 * i, image.Masks()[i]);
    }
    std::memcpy(p + headerBytes, image.GetMemStart(), pixelBytes);
    return true;
}

bool FCImageHandle_Bmp::SaveToFile(const std::string& path, const ConstImageList& images,
                                   const FCImagePropertyList&) {
    return SaveFirstImage(path, images, Encode);
}

bool FCImageHandle_Bmp::LoadFromMemory(const uint8_t* data, size_t size, ImageList& images,
                                       PropertyListHolder&) {
    if (data == nullptr || size <= kFileHeaderBytes || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t pixelOffset = Get32(data + 10);
    if (pixelOffset >= size) return false;
    if (size < kFileHeaderBytes + BitmapInfoHeader::kBytes) return false;
    const BitmapInfoHeader h = BitmapInfoHeader::Read(data + kFileHeaderBytes);
    // Older headers (12 bytes) and top-down or compressed files are not read.
    if (h.size < BitmapInfoHeader::kBytes || h.width <= 0 || h.height <= 0 ||
        (h.compression != 0 && h.compression != 3) || !FCObjImage::IsValidDepth(h.bitCount)) {
        return false;
    }
    const uint64_t pixelBytes = static_cast<uint64_t>(FCObjImage::Stride(h.width, h.bitCount)) *
                                static_cast<uint64_t>(h.height);
    const uint64_t present = size - pixelOffset;
    if (!PixelBlockPlausible(pixelBytes, present)) return false;
    uint32_t masks[3] = {FCObjImage::kDefaultMasks[0], FCObjImage::kDefaultMasks[1],
                         FCObjImage::kDefaultMasks[2]};
    if (h.bitCount == 16 && h.compression == 3) {
        if (size < 66) return false;
        for (int i = 0; i < 3; ++i) masks[i] = Get32(data + 54 + 4 * i);
    }
    BitmapInfoHeader created = h;
    if (h.bitCount != 16) created.compression = 0;
    auto image = std::make_unique<FCObjImage>();
    if (!image->CreateFromHeader(created, masks)) return false;
    if (h.bitCount <= 8) {
        const uint64_t paletteAt = kFileHeaderBytes + static_cast<uint64_t>(h.size);
        const int entries = 1 << h.bitCount;
        std::vector<RgbQuad> palette(static_cast<size_t>(entries));
        for (int i = 0; i < entries; ++i) {
            const uint64_t at = paletteAt + 4ull * static_cast<uint64_t>(i);
            if (at + 4 > size) break;  // entries the file does not hold stay black
            palette[static_cast<size_t>(i)] = {data[at], data[at + 1], data[at + 2], 0};
        }
        image->WritePalette(0, entries, palette.data());
    }
    const size_t copy = static_cast<size_t>(std::min<uint64_t>(present, pixelBytes));
    std::memcpy(image->GetMemStart(), data + pixelOffset, copy);
    images.push_back(std::move(image));
    return true;
}
