// Reading and writing TGA files: uncompressed and run-length coded, true colour, colour-mapped
// and grayscale, either row order; written uncompressed with rows from the top.
#pragma once

#include "image/ImageHandle.h"

class FCImageHandle_Tga : public FCImageHandleBase {
public:
    bool LoadFromMemory(const uint8_t* data, size_t size, ImageList& images,
                        PropertyListHolder& properties) override;
    bool SaveToFile(const std::string& path, const ConstImageList& images,
                    const FCImagePropertyList& properties) override;

    static bool Encode(const FCObjImage& image, std::vector<uint8_t>& out);
};
