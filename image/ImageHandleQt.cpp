#include "image/ImageHandleQt.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstring>

#include "image/ExifTags.h"
#include "image/GifWriter.h"
#include "image/ImageHandleBmp.h"
#include "image/ImageHandleTga.h"

namespace {

int g_initCount = 0;

QList<QRgb> ColorTable(const FCObjImage& image) {
    QList<QRgb> table;
    for (int i = 0; i < image.PaletteSize(); ++i) {
        const RgbQuad& q = image.Palette()[i];
        table.append(qRgba(q.red, q.green, q.blue, 255));
    }
    return table;
}

void SetPalette(FCObjImage& image, const QList<QRgb>& table) {
    std::vector<RgbQuad> palette(static_cast<size_t>(image.PaletteSize()));
    for (int i = 0; i < image.PaletteSize() && i < table.size(); ++i) {
        palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(qBlue(table[i])),
                                           static_cast<uint8_t>(qGreen(table[i])),
                                           static_cast<uint8_t>(qRed(table[i])), 0};
    }
    image.WritePalette(0, image.PaletteSize(), palette.data());
}

const char* MimeType(IMAGE_TYPE type) {
    switch (type) {
        case IMG_BMP: return "image/bmp";
        case IMG_JPG: return "image/jpeg";
        case IMG_GIF: return "image/gif";
        case IMG_TIF: return "image/tiff";
        case IMG_PNG: return "image/png";
        case IMG_ICO: return "image/x-icon";
        default: return nullptr;
    }
}

// An icon file holding one PNG-compressed picture: the only icon form for pictures larger than
// 256 pixels (the directory entry then says 0, the picture carries its true size).
bool EncodeIco(const QImage& image, std::vector<uint8_t>& out) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG")) return false;
    out.assign(6 + 16, 0);
    auto put16 = [&](size_t at, int v) {
        out[at] = static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    put16(0, 0);
    put16(2, 1);  // icon
    put16(4, 1);  // one picture
    out[6] = static_cast<uint8_t>(image.width() >= 256 ? 0 : image.width());
    out[7] = static_cast<uint8_t>(image.height() >= 256 ? 0 : image.height());
    put16(10, 1);
    put16(12, 32);
    put32(14, static_cast<uint32_t>(png.size()));
    put32(18, 22);
    out.insert(out.end(), png.begin(), png.end());
    return true;
}

// The file bytes of `image` in the format of `type`.
bool Encode(const QImage& image, IMAGE_TYPE type, const char* mime,
            const FCImagePropertyList& properties, std::vector<uint8_t>& out) {
    if (type == IMG_GIF) return EncodeGif(image, out);
    if (type == IMG_ICO) return EncodeIco(image, out);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QImageWriter::imageFormatsForMimeType(mime).value(0));
    if (type == IMG_JPG)
        writer.setQuality(FCImageHandle_QtImage::QualityFromProperties(properties));
    if (!writer.write(image)) return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

FCAutoInitQtImage::FCAutoInitQtImage() {
    if (g_initCount++ == 0) {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    }
}

FCAutoInitQtImage::~FCAutoInitQtImage() {
    if (--g_initCount == 0) Exiv2::XmpParser::terminate();
}

bool ImageToQImage(const FCObjImage& image, QImage& out) {
    if (!image.HasPixels()) return false;
    const int w = image.Width(), h = image.Height();
    switch (image.ColorBits()) {
        case 1:
            out = QImage(w, h, QImage::Format_Mono);
            out.setColorTable(ColorTable(image));
            for (int y = 0; y < h; ++y)
                std::memcpy(out.scanLine(y), image.GetBits(y), static_cast<size_t>((w + 7) / 8));
            break;
        case 4:
            out = QImage(w, h, QImage::Format_Indexed8);
            out.setColorTable(ColorTable(image));
            for (int y = 0; y < h; ++y) {
                const uint8_t* from = image.GetBits(y);
                uchar* to = out.scanLine(y);
                for (int x = 0; x < w; ++x)
                    to[x] = (x & 1) ? (from[x / 2] & 0x0F) : (from[x / 2] >> 4);
            }
            break;
        case 8:
            out = QImage(w, h, QImage::Format_Indexed8);
            out.setColorTable(ColorTable(image));
            for (int y = 0; y < h; ++y)
                std::memcpy(out.scanLine(y), image.GetBits(y), static_cast<size_t>(w));
            break;
        case 16:
            out = QImage(w, h,
                         image.Masks()[1] == 0x03E0 ? QImage::Format_RGB555 : QImage::Format_RGB16);
            for (int y = 0; y < h; ++y)
                std::memcpy(out.scanLine(y), image.GetBits(y), static_cast<size_t>(w) * 2);
            break;
        case 24:
            out = QImage(w, h, QImage::Format_BGR888);
            for (int y = 0; y < h; ++y)
                std::memcpy(out.scanLine(y), image.GetBits(y), static_cast<size_t>(w) * 3);
            break;
        case 32:
            out = QImage(w, h, QImage::Format_ARGB32);
            for (int y = 0; y < h; ++y)
                std::memcpy(out.scanLine(y), image.GetBits(y), static_cast<size_t>(w) * 4);
            break;
        default: return false;
    }
    const auto& header = image.Header();
    if (header.xPelsPerMeter > 0) out.setDotsPerMeterX(header.xPelsPerMeter);
    if (header.yPelsPerMeter > 0) out.setDotsPerMeterY(header.yPelsPerMeter);
    return !out.isNull();
}

bool QImageToImage(const QImage& source, FCObjImage& out) {
    if (source.isNull()) return false;
    QImage img = source;
    int bits = 24;
    BitmapInfoHeader h;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    switch (img.format()) {
        case QImage::Format_Mono: bits = 1; break;
        case QImage::Format_MonoLSB:
            img = img.convertToFormat(QImage::Format_Mono);
            bits = 1;
            break;
        case QImage::Format_Indexed8: bits = 8; break;
        case QImage::Format_Grayscale8: bits = 8; break;
        case QImage::Format_RGB555:
            bits = 16;
            h.compression = 3;
            break;
        case QImage::Format_RGB16:
            bits = 16;
            h.compression = 3;
            masks[0] = 0xF800;
            masks[1] = 0x07E0;
            masks[2] = 0x001F;
            break;
        case QImage::Format_BGR888: bits = 24; break;
        case QImage::Format_ARGB32: bits = 32; break;
        case QImage::Format_RGB32:
            img = img.convertToFormat(QImage::Format_ARGB32);  // alpha 255 everywhere
            bits = 32;
            break;
        default:
            // Formats the image object has no direct equivalent for: with alpha to 32 bits
            // (straight alpha), without to 24 bits.
            if (img.hasAlphaChannel()) {
                img = img.convertToFormat(QImage::Format_ARGB32);
                bits = 32;
            } else {
                img = img.convertToFormat(QImage::Format_BGR888);
                bits = 24;
            }
    }
    h.size = 40;
    h.width = img.width();
    h.height = img.height();
    h.planes = 1;
    h.bitCount = static_cast<uint16_t>(bits);
    h.xPelsPerMeter = img.dotsPerMeterX();
    h.yPelsPerMeter = img.dotsPerMeterY();
    FCObjImage image;
    if (!image.CreateFromHeader(h, masks)) return false;
    const size_t rowBytes = (static_cast<size_t>(img.width()) * static_cast<size_t>(bits) + 7) / 8;
    for (int y = 0; y < img.height(); ++y)
        std::memcpy(image.GetBits(y), img.constScanLine(y), rowBytes);
    if (bits <= 8 && img.format() != QImage::Format_Grayscale8) SetPalette(image, img.colorTable());
    out = std::move(image);
    return true;
}

int FCImageHandle_QtImage::QualityFromProperties(const FCImagePropertyList& properties) {
    std::string value = properties.GetValue(kImagePropertySaveQuality);
    if (value.empty()) value = properties.GetValue(kImagePropertyJpegQuality);
    int quality = 80;
    if (!value.empty() && value != "-1")
        quality = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
    return std::clamp(quality, 1, 100);
}

bool FCImageHandle_QtImage::SaveToFile(const std::string& path, const ConstImageList& images,
                                       const FCImagePropertyList& properties) {
    if (images.empty() || images[0] == nullptr || !images[0]->HasPixels()) {
        SetImageSaveStatus(ImageSaveError::kNoPicture);
        return false;
    }
    const IMAGE_TYPE type = ImageTypeFromPath(path);
    const char* mime = MimeType(type);
    const bool ownWriter = type == IMG_GIF || type == IMG_ICO;
    if (mime == nullptr || (!ownWriter && !QImageWriter::supportedMimeTypes().contains(mime))) {
        SetImageSaveStatus(ImageSaveError::kUnknownType);
        return false;
    }
    QImage image;
    if (!ImageToQImage(*images[0], image)) {
        // A depth the image object allows always converts: a failure is a failed allocation.
        SetImageSaveStatus(FCObjImage::IsValidDepth(images[0]->ColorBits())
                               ? ImageSaveError::kOutOfMemory
                               : ImageSaveError::kEncodeFailed);
        return false;
    }
    // The picture is encoded in memory and given its EXIF items there.
    std::vector<uint8_t> bytes;
    if (!Encode(image, type, mime, properties, bytes)) {
        SetImageSaveStatus(ImageSaveError::kEncodeFailed);
        return false;
    }
    // The EXIF items go into the encoded picture in memory; the picture is then written in one
    // piece, through a temporary file beside a file target or straight into a stream.
    const bool withProperties = (type != IMG_JPG && type != IMG_PNG && type != IMG_TIF) ||
                                AddExifProperties(bytes, properties);
    // Items the format cannot hold must not cost the picture: it is kept without them.
    if (!WriteWholeFile(path, bytes)) return false;
    if (withProperties) return true;
    SetImageSaveStatus(ImageSaveError::kPictureWithoutProperties);
    return false;
}

bool FCImageHandle_QtImage::LoadFromFile(const std::string& path, ImageList& images,
                                         PropertyListHolder& properties) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return false;
    return LoadFromMemory(data.data(), data.size(), images, properties);
}

bool FCImageHandle_QtImage::LoadFromMemory(const uint8_t* data, size_t size, ImageList& images,
                                           PropertyListHolder& properties) {
    if (data == nullptr || size == 0 || size > kMaxFileBytes) return false;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const size_t before = images.size();
    // Every frame: animations are read on until they end, multi-page files page by page.
    const bool animated = reader.supportsAnimation();
    const int pages = animated ? 4096 : std::clamp(reader.imageCount(), 1, 4096);
    for (int frame = 0; frame < pages; ++frame) {
        if (!animated && frame > 0 && !reader.jumpToImage(frame)) break;
        QImage image;
        if (!reader.read(&image)) break;
        auto converted = std::make_unique<FCObjImage>();
        if (QImageToImage(image, *converted) && converted->HasPixels())
            images.push_back(std::move(converted));
    }
    if (images.size() == before) return false;
    auto list = std::make_unique<FCImagePropertyList>();
    ReadExifProperties(data, size, *list);
    properties = std::move(list);
    return true;
}

FCImageHandleBase* FCImageHandleFactory_QtImage::NewCodec(IMAGE_TYPE type) {
    switch (type) {
        case IMG_BMP: return new FCImageHandle_Bmp();
        case IMG_TGA: return new FCImageHandle_Tga();
        case IMG_JPG:
        case IMG_GIF:
        case IMG_TIF:
        case IMG_PNG:
        case IMG_ICO: return new FCImageHandle_QtImage();
        default: return nullptr;
    }
}
