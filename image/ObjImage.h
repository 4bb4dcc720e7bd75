// The in-memory picture: a device-independent bitmap with a 40-byte information header, a
// bottom-up pixel block with rows padded to 4 bytes, a row table from the top, 16-bit colour
// masks and a palette for indexed depths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/ImagePropertyList.h"
#include "image/PCL_array.h"
#include "image/PixelBound.h"

// The 40-byte BMP information header, field by field.
struct BitmapInfoHeader {
    uint32_t size = 0;  // always 40 in an image
    int32_t width = 0;
    int32_t height = 0;  // positive: rows bottom-up
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // 0, or 3 for 16-bit images with explicit masks
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;

    static constexpr size_t kBytes = 40;
    // Little-endian byte form, and back (no checks).
    void Write(uint8_t* out) const;
    static BitmapInfoHeader Read(const uint8_t* in);
};

// One palette entry: blue, green, red, reserved.
struct RgbQuad {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

class FCObject {
public:
    virtual ~FCObject() = default;
    // Writes (save) or reads (load) the object to or from `buffer`, which holds `size` bytes.
    // Returns the bytes written or read; 0 on failure. Saving with a null buffer only measures.
    virtual size_t Transfer(bool save, uint8_t* buffer, size_t size);
};

class FCObjGraph : public FCObject {
public:
    size_t Transfer(bool save, uint8_t* buffer, size_t size) override;
    int x = 0;
    int y = 0;
};

class FCObjImage : public FCObjGraph {
public:
    static constexpr uint32_t kDefaultMasks[3] = {0x7C00, 0x03E0, 0x001F};
    // Upper bound of the pixel block: images beyond 1 GiB are refused.
    static constexpr uint64_t kMaxPixelBytes = kws::img::kMaxPixelBytes;

    FCObjImage() = default;
    // Copies are whole values: an image without pixels copies as one without pixels.
    FCObjImage(const FCObjImage& other) : FCObjGraph(other) { CopyImage(other); }
    FCObjImage& operator=(const FCObjImage& other) {
        if (this != &other) {
            FCObjImage copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    FCObjImage(FCObjImage&&) noexcept = default;
    FCObjImage& operator=(FCObjImage&&) noexcept = default;
    ~FCObjImage() override = default;

    static bool IsValidDepth(int bits) {
        return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    }
    // Bytes per row, padded to 4; computed in 64 bits so that no width can wrap it around.
    static uint64_t Stride(int width, int bits) {
        return ((static_cast<uint64_t>(width < 0 ? 0 : width) *
                     static_cast<uint64_t>(bits < 0 ? 0 : bits) +
                 31) /
                32) *
               4;
    }

    // A new blank image (pixels zero, gray-ramp palette for 8 bits or less). False, with the
    // old image kept, for a width or height of 0 or less, an invalid depth or a size too large.
    bool CreateBlank(int width, int height, int bits);
    // The same from an information header (followed, for a 16-bit header with compression 3,
    // by the three masks); compression and resolutions are taken over.
    bool CreateFromHeader(const BitmapInfoHeader& header, const uint32_t* masks = nullptr);

    // The header followed by the palette (8 bits or less) or the three masks (deeper images),
    // as the platform's bitmap functions take it.
    std::vector<uint8_t> MakeBitmapInfo() const;

    // Same header, pixels, palette and position as `other`; copying onto itself does nothing.
    // False, with this image untouched, when `other` has no pixels or the copy cannot be made.
    bool CopyImage(const FCObjImage& other);

    // Palette access for depths of 8 bits or less; entries beyond the palette are skipped.
    bool ReadPalette(int first, int count, RgbQuad* out) const;
    bool WritePalette(int first, int count, const RgbQuad* in);

    // Stretches to exactly width x height by nearest neighbour (images of 8 bits and more);
    // palette and 16-bit colour masks stay as they were.
    void ResizeNearest(int width, int height);

    // Writes the image through the current codec factory; the format follows the extension.
    // On false, LastImageSaveStatus() tells why, and whether the picture was written all the
    // same (kPictureWithoutProperties).
    bool SaveFile(const std::string& path, const FCImagePropertyList& properties) const;

    void Release();

    size_t Transfer(bool save, uint8_t* buffer, size_t size) override;

    bool HasPixels() const { return pixels_.get() != nullptr; }
    const BitmapInfoHeader& Header() const { return header_; }
    int Width() const { return header_.width; }
    int Height() const { return header_.height; }
    int ColorBits() const { return header_.bitCount; }
    size_t Pitch() const { return static_cast<size_t>(Stride(header_.width, header_.bitCount)); }
    size_t PixelBytes() const {
        return static_cast<size_t>(Pitch()) * static_cast<size_t>(header_.height);
    }
    uint8_t* GetMemStart() const { return pixels_.get(); }
    // Row `y` counted from the top of the picture.
    uint8_t* GetBits(int y) const { return rows_[static_cast<size_t>(y)]; }
    uint8_t* GetBits(int x, int y) const {
        return rows_[static_cast<size_t>(y)] + static_cast<size_t>(x) * header_.bitCount / 8;
    }
    const uint32_t* Masks() const { return masks_; }
    void SetResolution(int32_t x, int32_t y) {
        header_.xPelsPerMeter = x;
        header_.yPelsPerMeter = y;
    }
    int PaletteSize() const { return static_cast<int>(palette_.size()); }
    const RgbQuad* Palette() const { return palette_.get(); }

private:
    void BuildRows();

    BitmapInfoHeader header_;
    PCL_array<uint8_t> pixels_;
    std::vector<uint8_t*> rows_;
    uint32_t masks_[3] = {kDefaultMasks[0], kDefaultMasks[1], kDefaultMasks[2]};
    PCL_array<RgbQuad> palette_;
};
