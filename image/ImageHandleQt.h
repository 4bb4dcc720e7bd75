// The platform codec: PNG, JPEG, TIFF and ICO through Qt's image reading and writing, GIF
// written with giflib, and the EXIF property items through exiv2: the codec, its factory and
// the start-up guard that keep these libraries ready while any of them is alive.
#pragma once

#include "image/ImageHandle.h"

class QImage;

// Start-up guard of the imaging libraries: while at least one object of a class derived from it
// lives, exiv2's message output is muted and its parser set up. Reference counted.
class FCAutoInitQtImage {
public:
    FCAutoInitQtImage();
    virtual ~FCAutoInitQtImage();
    FCAutoInitQtImage(const FCAutoInitQtImage&) = delete;
    FCAutoInitQtImage& operator=(const FCAutoInitQtImage&) = delete;
};

class FCImageHandle_QtImage : public FCImageHandleBase, private FCAutoInitQtImage {
public:
    bool LoadFromFile(const std::string& path, ImageList& images,
                      PropertyListHolder& properties) override;
    bool LoadFromMemory(const uint8_t* data, size_t size, ImageList& images,
                        PropertyListHolder& properties) override;
    bool SaveToFile(const std::string& path, const ConstImageList& images,
                    const FCImagePropertyList& properties) override;

    // The JPEG quality the properties ask for: key 500, else key 20496; 80 for an empty value
    // or "-1"; limited to 1..100.
    static int QualityFromProperties(const FCImagePropertyList& properties);
};

class FCImageHandleFactory_QtImage : public FCImageHandleFactory, private FCAutoInitQtImage {
public:
    FCImageHandleBase* NewCodec(IMAGE_TYPE type) override;
};

// Conversions between the image object and Qt's image (pixels copied).
bool ImageToQImage(const FCObjImage& image, QImage& out);
bool QImageToImage(const QImage& source, FCObjImage& out);
