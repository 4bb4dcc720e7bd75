#include "image/ImageHandle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "image/ImageHandleQt.h"

using kws::fileio::FileWriteError;

namespace {
thread_local ImageSaveStatus t_saveStatus;
}

ImageSaveStatus LastImageSaveStatus() { return t_saveStatus; }

void SetImageSaveStatus(ImageSaveError error, int errnoValue) {
    t_saveStatus.error = error;
    t_saveStatus.errnoValue = errnoValue;
}

void SetImageSaveStatus(FileWriteError error, int errnoValue) {
    switch (error) {
        case FileWriteError::kNone: SetImageSaveStatus(ImageSaveError::kNone); break;
        case FileWriteError::kMissingFolder:
            SetImageSaveStatus(ImageSaveError::kMissingFolder, errnoValue);
            break;
        case FileWriteError::kReadOnlyFolder:
            SetImageSaveStatus(ImageSaveError::kReadOnlyFolder, errnoValue);
            break;
        case FileWriteError::kTargetIsFolder:
            SetImageSaveStatus(ImageSaveError::kTargetIsFolder, errnoValue);
            break;
        case FileWriteError::kWriteFailed:
            SetImageSaveStatus(ImageSaveError::kWriteFailed, errnoValue);
            break;
    }
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    data.clear();
    uint8_t chunk[65536];
    size_t n;
    bool ok = true;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (data.size() + n > FCImageHandleBase::kMaxFileBytes) {
            ok = false;
            break;
        }
        data.insert(data.end(), chunk, chunk + n);
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok && !data.empty();
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
    FileWriteError error = FileWriteError::kNone;
    int errnoValue = 0;
    const bool ok = kws::fileio::WriteOutput(path, data.data(), data.size(), error, errnoValue);
    SetImageSaveStatus(error, errnoValue);
    return ok;
}

bool FCImageHandleBase::SaveFirstImage(const std::string& path, const ConstImageList& images,
                                       Encoder encode) {
    std::vector<uint8_t> bytes;
    if (images.empty() || images[0] == nullptr || !images[0]->HasPixels()) {
        SetImageSaveStatus(ImageSaveError::kNoPicture);
        return false;
    }
    if (!encode(*images[0], bytes)) {
        SetImageSaveStatus(ImageSaveError::kEncodeFailed);
        return false;
    }
    return WriteWholeFile(path, bytes);
}

bool FCImageHandleBase::LoadFromFile(const std::string& path, ImageList& images,
                                     PropertyListHolder& properties) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return false;
    return LoadFromMemory(data.data(), data.size(), images, properties);
}

bool FCImageHandleBase::LoadFromMemory(const uint8_t*, size_t, ImageList&, PropertyListHolder&) {
    return false;
}

bool FCImageHandleBase::SaveToFile(const std::string&, const ConstImageList&,
                                   const FCImagePropertyList&) {
    return false;
}

IMAGE_TYPE ImageTypeFromPath(const std::string& path) {
    // A picture on standard output ("-", /dev/stdout) has no name to tell its format: it is PNG.
    if (kws::fileio::IsStandardOutput(path)) return IMG_PNG;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) return IMG_UNKNOW;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const struct {
        const char* ext;
        IMAGE_TYPE type;
    } kTable[] = {{"bmp", IMG_BMP},  {"pcx", IMG_PCX}, {"jpg", IMG_JPG}, {"jpeg", IMG_JPG},
                  {"gif", IMG_GIF},  {"tga", IMG_TGA}, {"tif", IMG_TIF}, {"tiff", IMG_TIF},
                  {"png", IMG_PNG},  {"psd", IMG_PSD}, {"ico", IMG_ICO}, {"xpm", IMG_XPM},
                  {"lmx", IMG_PHOXO}};
    for (const auto& entry : kTable) {
        if (ext == entry.ext) return entry.type;
    }
    return IMG_UNKNOW;
}

IMAGE_TYPE FCImageHandleFactory::TypeFromPath(const std::string& path) const {
    return ImageTypeFromPath(path);
}

namespace {

struct CurrentFactory {
    FCImageHandleFactory* factory = nullptr;
    bool owned = false;
    ~CurrentFactory() {
        if (owned) delete factory;
    }
};

CurrentFactory& Current() {
    static CurrentFactory current;
    return current;
}

}  // namespace

FCImageHandleFactory* GetCurrentImageFactory() {
    CurrentFactory& c = Current();
    if (c.factory == nullptr) {
        c.factory = new FCImageHandleFactory_QtImage();
        c.owned = true;
    }
    return c.factory;
}

void InstallImageFactory(FCImageHandleFactory* factory, bool owned) {
    CurrentFactory& c = Current();
    if (c.owned && c.factory != factory) delete c.factory;
    c.factory = factory;
    c.owned = owned;
}
