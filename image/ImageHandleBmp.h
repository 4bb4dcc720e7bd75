// Reading and writing BMP files (uncompressed, or 16-bit with colour masks), little-endian on
// every host.
#pragma once

#include "image/ImageHandle.h"

class FCImageHandle_Bmp : public FCImageHandleBase {
public:
    bool LoadFromMemory(const uint8_t* data, size_t size, ImageList& images,
                        PropertyListHolder& properties) override;
    bool SaveToFile(const std::string& path, const ConstImageList& images,
                    const FCImagePropertyList& properties) override;

    // The file as bytes (what SaveToFile writes).
    static bool Encode(const FCObjImage& image, std::vector<uint8_t>& out);
};
