// Codecs and the codec factory: the factory maps a path's extension to an image type and an
// image type to a codec. One factory is current for the whole program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fileio/OutputFile.h"
#include "image/ImagePropertyList.h"
#include "image/ObjImage.h"

enum IMAGE_TYPE : int {
    IMG_UNKNOW = 0,
    IMG_BMP = 1,
    IMG_PCX = 2,
    IMG_JPG = 3,
    IMG_GIF = 4,
    IMG_TGA = 5,
    IMG_TIF = 6,
    IMG_PNG = 7,
    IMG_PSD = 8,
    IMG_ICO = 9,
    IMG_XPM = 10,
    IMG_PHOXO = 11,
};

// Images a load appends to; saving uses the first.
using ImageList = std::vector<std::unique_ptr<FCObjImage>>;
using ConstImageList = std::vector<const FCObjImage*>;
// The property list a load hands back in place of the caller's.
using PropertyListHolder = std::unique_ptr<FCImagePropertyList>;

class FCImageHandleBase {
public:
    virtual ~FCImageHandleBase() = default;
    // Reads the whole file into memory and hands it to LoadFromMemory; an empty or missing
    // file gives false.
    virtual bool LoadFromFile(const std::string& path, ImageList& images,
                              PropertyListHolder& properties);
    virtual bool LoadFromMemory(const uint8_t* data, size_t size, ImageList& images,
                                PropertyListHolder& properties);
    virtual bool SaveToFile(const std::string& path, const ConstImageList& images,
                            const FCImagePropertyList& properties);

    // Files larger than this are not read.
    static constexpr uint64_t kMaxFileBytes = 1ull << 30;

protected:
    // Encodes the first image and writes the bytes to `path`.
    using Encoder = bool (*)(const FCObjImage& image, std::vector<uint8_t>& out);
    static bool SaveFirstImage(const std::string& path, const ConstImageList& images,
                               Encoder encode);
};

class FCImageHandleFactory {
public:
    virtual ~FCImageHandleFactory() = default;
    // The type named by the text after the last '.' of the path, in lower case; PNG for
    // standard output ("-", /dev/stdout).
    virtual IMAGE_TYPE TypeFromPath(const std::string& path) const;
    // A new codec for the type, or nullptr; the caller owns it.
    virtual FCImageHandleBase* NewCodec(IMAGE_TYPE type) = 0;
};

IMAGE_TYPE ImageTypeFromPath(const std::string& path);

// The program-wide current factory, created on first use (the platform factory) and owned by
// the library until program exit.
FCImageHandleFactory* GetCurrentImageFactory();
// Makes `factory` current. With `owned` the library destroys it later; a previous factory the
// library owned is destroyed now, unless it is the same object.
void InstallImageFactory(FCImageHandleFactory* factory, bool owned = true);

// Reads a file into memory; false when it is missing, empty, unreadable or too large.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data);
// Writes bytes to an output: a file through a temporary file beside it, so that a failure never
// leaves a part of a file or costs the previous one; standard output ("-"), a device or a FIFO
// directly. False (with the reason in the save status) when it cannot be written completely.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data);

// Why the last save of this thread failed: saves report false, and this tells the reason.
enum class ImageSaveError {
    kNone,
    kNoPicture,                 // the image has no pixels
    kUnknownType,               // the extension names no format that can be written
    kMissingFolder,             // the target's folder does not exist
    kReadOnlyFolder,            // no file may be created in the target's folder
    kTargetIsFolder,            // the target is a folder
    kWriteFailed,               // the system refused a write; errnoValue says why
    kEncodeFailed,              // the codec could not encode the picture
    kOutOfMemory,               // memory for the encoded picture could not be had
    kPictureWithoutProperties,  // the picture is in the file; its EXIF items could not be added
};
struct ImageSaveStatus {
    ImageSaveError error = ImageSaveError::kNone;
    int errnoValue = 0;
};
ImageSaveStatus LastImageSaveStatus();
void SetImageSaveStatus(ImageSaveError error, int errnoValue = 0);
// The status of a failed (or, with kNone, successful) write through an OutputFile.
void SetImageSaveStatus(kws::fileio::FileWriteError error, int errnoValue);
