#include "image/GifWriter.h"

#include <QImage>

#include <gif_lib.h>

#include "image/ImageHandle.h"

#include <unordered_map>
#include <vector>

namespace {

// An exact palette for images of at most 256 colours, else Qt's reduction.
QImage ToIndexed(const QImage& source) {
    if (source.format() == QImage::Format_Indexed8) return source;
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    std::unordered_map<QRgb, int> index;
    QList<QRgb> table;
    for (int y = 0; y < rgb.height() && table.size() <= 256; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = line[x] | 0xFF000000u;
            if (index.find(c) == index.end()) {
                if (table.size() == 256) {
                    table.append(c);  // a 257th colour: too many for an exact palette
                    break;
                }
                index.emplace(c, static_cast<int>(table.size()));
                table.append(c);
            }
        }
    }
    if (table.size() > 256)
        return rgb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QImage out(rgb.size(), QImage::Format_Indexed8);
    out.setColorTable(table);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* to = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            to[x] = static_cast<uchar>(index.at(line[x] | 0xFF000000u));
    }
    return out;
}

// giflib hands its output to this function; the bytes collect in memory.
int AppendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

}  // namespace

bool EncodeGif(const QImage& image, std::vector<uint8_t>& out) {
    if (image.isNull() || image.width() > 65535 || image.height() > 65535) return false;
    const QImage indexed = ToIndexed(image);
    QList<QRgb> table = indexed.colorTable();
    if (table.isEmpty()) return false;
    // giflib wants a power of two entries.
    int size = 2;
    while (size < table.size()) size *= 2;
    while (table.size() < size) table.append(qRgb(0, 0, 0));
    std::vector<GifColorType> colors(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        colors[static_cast<size_t>(i)] = {static_cast<GifByteType>(qRed(table[i])),
                                          static_cast<GifByteType>(qGreen(table[i])),
                                          static_cast<GifByteType>(qBlue(table[i]))};
    }
    ColorMapObject* map = GifMakeMapObject(size, colors.data());
    if (map == nullptr) return false;
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendBytes, &error);
    if (gif == nullptr) {
        GifFreeMapObject(map);
        return false;
    }
    EGifSetGifVersion(gif, true);
    bool ok =
        EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, map) == GIF_OK &&
        EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(static_cast<size_t>(indexed.width()));
    for (int y = 0; ok && y < indexed.height(); ++y) {
        const uchar* line = indexed.constScanLine(y);
        std::copy(line, line + indexed.width(), row.begin());
        ok = EGifPutLine(gif, row.data(), indexed.width()) == GIF_OK;
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool WriteGif(const std::string& path, const QImage& image) {
    std::vector<uint8_t> bytes;
    if (!EncodeGif(image, bytes)) {
        SetImageSaveStatus(ImageSaveError::kEncodeFailed);
        return false;
    }
    return WriteWholeFile(path, bytes);
}
