#include "image/ObjImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "image/ByteOrder.h"
#include "image/ImageHandle.h"

using namespace kws::img;

void BitmapInfoHeader::Write(uint8_t* out) const {
    Put32(out, size);
    Put32(out + 4, static_cast<uint32_t>(width));
    Put32(out + 8, static_cast<uint32_t>(height));
    Put16(out + 12, planes);
    Put16(out + 14, bitCount);
    Put32(out + 16, compression);
    Put32(out + 20, sizeImage);
    Put32(out + 24, static_cast<uint32_t>(xPelsPerMeter));
    Put32(out + 28, static_cast<uint32_t>(yPelsPerMeter));
    Put32(out + 32, clrUsed);
    Put32(out + 36, clrImportant);
}

BitmapInfoHeader BitmapInfoHeader::Read(const uint8_t* in) {
    BitmapInfoHeader h;
    h.size = Get32(in);
    h.width = static_cast<int32_t>(Get32(in + 4));
    h.height = static_cast<int32_t>(Get32(in + 8));
    h.planes = Get16(in + 12);
    h.bitCount = Get16(in + 14);
    h.compression = Get32(in + 16);
    h.sizeImage = Get32(in + 20);
    h.xPelsPerMeter = static_cast<int32_t>(Get32(in + 24));
    h.yPelsPerMeter = static_cast<int32_t>(Get32(in + 28));
    h.clrUsed = Get32(in + 32);
    h.clrImportant = Get32(in + 36);
    return h;
}

size_t FCObject::Transfer(bool, uint8_t*, size_t) { return 0; }

size_t FCObjGraph::Transfer(bool save, uint8_t* buffer, size_t size) {
    if (buffer == nullptr) return save ? 8 : 0;
    if (size < 8) return 0;
    if (save) {
        Put32(buffer, static_cast<uint32_t>(x));
        Put32(buffer + 4, static_cast<uint32_t>(y));
    } else {
        x = static_cast<int>(Get32(buffer));
        y = static_cast<int>(Get32(buffer + 4));
    }
    return 8;
}

namespace {

bool SizeAllowed(int width, int height, int bits) {
    if (width <= 0 || height <= 0 || !FCObjImage::IsValidDepth(bits)) return false;
    const uint64_t stride = FCObjImage::Stride(width, bits);
    return stride <= FCObjImage::kMaxPixelBytes &&
           stride * static_cast<uint64_t>(height) <= FCObjImage::kMaxPixelBytes;
}

}  // namespace

void FCObjImage::BuildRows() {
    rows_.resize(static_cast<size_t>(header_.height));
    const size_t pitch = Pitch();
    uint8_t* last = pixels_.get();  // the last picture row comes first in memory
    for (int y = 0; y < header_.height; ++y) {
        rows_[static_cast<size_t>(y)] = last + pitch * static_cast<size_t>(header_.height - 1 - y);
    }
}

bool FCObjImage::CreateBlank(int width, int height, int bits) {
    BitmapInfoHeader h;
    h.size = 40;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = static_cast<uint16_t>(bits);
    return CreateFromHeader(h);
}

bool FCObjImage::CreateFromHeader(const BitmapInfoHeader& source, const uint32_t* masks) {
    if (!SizeAllowed(source.width, source.height, source.bitCount)) return false;
    PCL_array<uint8_t> pixels(static_cast<size_t>(Stride(source.width, source.bitCount)) *
                              static_cast<size_t>(source.height));
    if (!pixels) return false;
    Release();
    header_ = BitmapInfoHeader();
    header_.size = 40;
    header_.width = source.width;
    header_.height = source.height;
    header_.planes = 1;
    header_.bitCount = source.bitCount;
    header_.compression = source.bitCount == 16 && source.compression == 3 ? 3 : 0;
    header_.xPelsPerMeter = source.xPelsPerMeter;
    header_.yPelsPerMeter = source.yPelsPerMeter;
    pixels_ = std::move(pixels);
    BuildRows();
    std::copy(std::begin(kDefaultMasks), std::end(kDefaultMasks), masks_);
    if (header_.compression == 3 && masks != nullptr) std::copy(masks, masks + 3, masks_);
    if (header_.bitCount <= 8) {
        const int n = 1 << header_.bitCount;
        palette_ = PCL_array<RgbQuad>(static_cast<size_t>(n));
        const int step = 255 / (n - 1);
        for (int i = 0; i < n; ++i) {
            const auto v = static_cast<uint8_t>(i * step);
            palette_[static_cast<size_t>(i)] = {v, v, v, 0};
        }
    }
    return true;
}

std::vector<uint8_t> FCObjImage::MakeBitmapInfo() const {
    std::vector<uint8_t> info(BitmapInfoHeader::kBytes);
    header_.Write(info.data());
    if (header_.bitCount <= 8 && palette_) {
        for (size_t i = 0; i < palette_.size(); ++i) {
            const RgbQuad& q = palette_[i];
            info.insert(info.end(), {q.blue, q.green, q.red, q.reserved});
        }
    } else {
        for (uint32_t m : masks_) {
            uint8_t b[4];
            Put32(b, m);
            info.insert(info.end(), b, b + 4);
        }
    }
    return info;
}

bool FCObjImage::CopyImage(const FCObjImage& other) {
    if (!other.HasPixels()) return false;
    if (&other == this) return true;
    FCObjImage copy;
    if (!copy.CreateFromHeader(other.header_, other.masks_)) return false;
    copy.header_ = other.header_;
    std::memcpy(copy.pixels_.get(), other.pixels_.get(), other.PixelBytes());
    if (other.palette_)
        std::copy(other.palette_.get(), other.palette_.get() + other.palette_.size(),
                  copy.palette_.get());
    std::copy(other.masks_, other.masks_ + 3, copy.masks_);
    header_ = copy.header_;
    pixels_ = std::move(copy.pixels_);
    palette_ = std::move(copy.palette_);
    std::copy(copy.masks_, copy.masks_ + 3, masks_);
    BuildRows();
    x = other.x;
    y = other.y;
    return true;
}

bool FCObjImage::ReadPalette(int first, int count, RgbQuad* out) const {
    if (!HasPixels() || header_.bitCount > 8 || first < 0 || out == nullptr) return false;
    const int n = PaletteSize();
    for (int i = 0; i < count && first + i < n; ++i)
        out[i] = palette_[static_cast<size_t>(first + i)];
    return true;
}

bool FCObjImage::WritePalette(int first, int count, const RgbQuad* in) {
    if (!HasPixels() || header_.bitCount > 8 || first < 0 || in == nullptr) return false;
    const int n = PaletteSize();
    for (int i = 0; i < count && first + i < n; ++i)
        palette_[static_cast<size_t>(first + i)] = in[i];
    return true;
}

void FCObjImage::ResizeNearest(int width, int height) {
    if (!HasPixels() || width <= 0 || height <= 0 || header_.bitCount < 8 ||
        (width == header_.width && height == header_.height)) {
        return;
    }
    // The stretched picture is made beside this one and takes its place when complete.
    BitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = header_.bitCount;
    h.compression = header_.compression;  // 16 bits: the masks of the source
    FCObjImage target;
    if (!target.CreateFromHeader(h, masks_)) return;
    if (palette_)
        std::copy(palette_.get(), palette_.get() + palette_.size(), target.palette_.get());
    const size_t bytes = static_cast<size_t>(header_.bitCount / 8);
    const int64_t sw = Width(), sh = Height();
    std::vector<size_t> columns(static_cast<size_t>(width));
    for (int c = 0; c < width; ++c)
        columns[static_cast<size_t>(c)] = static_cast<size_t>(c * sw / width) * bytes;
    for (int r = 0; r < height; ++r) {
        const uint8_t* from = GetBits(static_cast<int>(r * sh / height));
        uint8_t* to = target.GetBits(r);
        for (int c = 0; c < width; ++c)
            std::memcpy(to + static_cast<size_t>(c) * bytes, from + columns[static_cast<size_t>(c)],
                        bytes);
    }
    target.x = x;
    target.y = y;
    *this = std::move(target);
}

bool FCObjImage::SaveFile(const std::string& path, const FCImagePropertyList& properties) const {
    // The reason of a failure is left in the save status (LastImageSaveStatus).
    SetImageSaveStatus(ImageSaveError::kNone);
    if (!HasPixels()) {
        SetImageSaveStatus(ImageSaveError::kNoPicture);
        return false;
    }
    FCImageHandleFactory* factory = GetCurrentImageFactory();
    std::unique_ptr<FCImageHandleBase> codec(factory != nullptr && !path.empty()
                                                 ? factory->NewCodec(factory->TypeFromPath(path))
                                                 : nullptr);
    if (!codec) {
        // A folder has no extension as a rule: name what is really wrong with the target.
        struct stat st;
        const bool folder = !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        SetImageSaveStatus(folder ? ImageSaveError::kTargetIsFolder : ImageSaveError::kUnknownType,
                           folder ? EISDIR : 0);
        return false;
    }
    std::vector<const FCObjImage*> list{this};
    try {
        if (codec->SaveToFile(path, list, properties)) return true;
    } catch (const std::bad_alloc&) {
        SetImageSaveStatus(ImageSaveError::kOutOfMemory);
        return false;
    }
    if (LastImageSaveStatus().error == ImageSaveError::kNone)
        SetImageSaveStatus(ImageSaveError::kEncodeFailed);
    return false;
}

void FCObjImage::Release() {
    header_ = BitmapInfoHeader();
    pixels_ = PCL_array<uint8_t>();
    palette_ = PCL_array<RgbQuad>();
    rows_.clear();
    std::copy(std::begin(kDefaultMasks), std::end(kDefaultMasks), masks_);
}

size_t FCObjImage::Transfer(bool save, uint8_t* buffer, size_t size) {
    constexpr size_t kFixed = BitmapInfoHeader::kBytes + 12;  // header and masks
    if (save) {
        if (!HasPixels()) return 0;
        const size_t total = kFixed + PixelBytes() + 8;
        if (buffer == nullptr) return total;
        if (size < total) return 0;
        header_.Write(buffer);
        for (int i = 0; i < 3; ++i) Put32(buffer + 40 + 4 * i, masks_[i]);
        std::memcpy(buffer + kFixed, pixels_.get(), PixelBytes());
        FCObjGraph::Transfer(true, buffer + kFixed + PixelBytes(), 8);
        return total;
    }
    if (buffer == nullptr || size < kFixed + 8) return 0;
    const BitmapInfoHeader h = BitmapInfoHeader::Read(buffer);
    const uint32_t masks[3] = {Get32(buffer + 40), Get32(buffer + 44), Get32(buffer + 48)};
    if (!SizeAllowed(h.width, h.height, h.bitCount)) return 0;
    const size_t pixelBytes =
        static_cast<size_t>(Stride(h.width, h.bitCount)) * static_cast<size_t>(h.height);
    if (size - kFixed - 8 < pixelBytes) return 0;  // the buffer cannot hold what the header says
    FCObjImage loaded;
    if (!loaded.CreateFromHeader(h, masks)) return 0;
    std::memcpy(loaded.pixels_.get(), buffer + kFixed, pixelBytes);
    loaded.FCObjGraph::Transfer(false, buffer + kFixed + pixelBytes, 8);
    *this = std::move(loaded);
    return kFixed + pixelBytes + 8;
}
