// Fuzz target: the BMP reader, and writing back what it read.
#include "image/ImageHandleBmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FCImageHandle_Bmp codec;
    ImageList images;
    PropertyListHolder properties;
    if (codec.LoadFromMemory(data, size, images, properties)) {
        std::vector<uint8_t> bytes;
        FCImageHandle_Bmp::Encode(*images[0], bytes);
        images[0]->ResizeNearest(17, 9);
    }
    return 0;
}
