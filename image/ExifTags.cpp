#include "image/ExifTags.h"

#include <exiv2/exiv2.hpp>

#include <cstdlib>

namespace {

struct TagEntry {
    int tag;
    const char* key;
    Exiv2::TypeId type;
};

const TagEntry kTags[] = {
    {0x010F, "Exif.Image.Make", Exiv2::asciiString},
    {0x0110, "Exif.Image.Model", Exiv2::asciiString},
    {0x9003, "Exif.Photo.DateTimeOriginal", Exiv2::asciiString},
    {0x829A, "Exif.Photo.ExposureTime", Exiv2::unsignedRational},
    {0x829D, "Exif.Photo.FNumber", Exiv2::unsignedRational},
    {0x920A, "Exif.Photo.FocalLength", Exiv2::unsignedRational},
    {0x9205, "Exif.Photo.MaxApertureValue", Exiv2::unsignedRational},
    {0x9204, "Exif.Photo.ExposureBiasValue", Exiv2::signedRational},
    {0x8827, "Exif.Photo.ISOSpeedRatings", Exiv2::unsignedShort},
    {0x9209, "Exif.Photo.Flash", Exiv2::unsignedShort},
    {0x9207, "Exif.Photo.MeteringMode", Exiv2::unsignedShort},
    {0x8822, "Exif.Photo.ExposureProgram", Exiv2::unsignedShort},
};

bool SplitRational(const std::string& text, long long& numerator, long long& denominator) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    char* end = nullptr;
    numerator = std::strtoll(text.c_str(), &end, 10);
    denominator = std::strtoll(text.c_str() + slash + 1, &end, 10);
    return true;
}

}  // namespace

bool AddExifProperties(std::vector<uint8_t>& bytes, const FCImagePropertyList& properties) {
    Exiv2::ExifData exif;
    for (const auto& [key, value] : properties.Entries()) {
        for (const TagEntry& t : kTags) {
            if (t.tag != key) continue;
            long long n = 0, d = 1;
            switch (t.type) {
                case Exiv2::asciiString: exif[t.key] = value; break;
                case Exiv2::unsignedRational:
                    if (!SplitRational(value, n, d)) break;
                    exif[t.key] =
                        Exiv2::URational(static_cast<uint32_t>(n), static_cast<uint32_t>(d));
                    break;
                case Exiv2::signedRational:
                    if (!SplitRational(value, n, d)) break;
                    exif[t.key] = Exiv2::Rational(static_cast<int32_t>(n), static_cast<int32_t>(d));
                    break;
                default:
                    exif[t.key] = static_cast<uint16_t>(std::strtol(value.c_str(), nullptr, 10));
            }
        }
    }
    if (exif.empty()) return true;
    try {
        auto image = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
        image->readMetadata();
        image->setExifData(exif);
        image->writeMetadata();
        // Items that do not fit the file's metadata block are dropped silently: read back.
        image->readMetadata();
        const Exiv2::ExifData& written = image->exifData();
        for (const Exiv2::Exifdatum& d : exif) {
            if (written.findKey(Exiv2::ExifKey(d.key())) == written.end()) return false;
        }
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0) return false;
        const long size = io.size();
        const Exiv2::DataBuf data = io.read(size);
        io.close();
        if (size <= 0 || data.size_ != size) return false;
        bytes.assign(data.pData_, data.pData_ + size);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ReadExifProperties(const uint8_t* data, size_t size, FCImagePropertyList& properties) {
    try {
        auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
        image->readMetadata();
        for (const Exiv2::Exifdatum& d : image->exifData()) {
            const Exiv2::TypeId type = d.typeId();
            if (d.count() == 0) continue;
            std::string text;
            switch (type) {
                case Exiv2::asciiString: text = d.toString(); break;
                case Exiv2::unsignedShort:
                case Exiv2::unsignedLong: text = std::to_string(d.toLong(0)); break;
                case Exiv2::unsignedRational:
                case Exiv2::signedRational: {
                    const Exiv2::Rational r = d.toRational(0);
                    text = std::to_string(r.first) + "/" + std::to_string(r.second);
                    break;
                }
                default: continue;
            }
            properties.SetValue(d.tag(), text);
        }
    } catch (const std::exception&) {
        // Files without metadata, or formats exiv2 does not know: nothing to add.
    }
}
