// Fuzz target: the TGA reader, and writing back what it read.
#include "image/ImageHandleTga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FCImageHandle_Tga codec;
    ImageList images;
    PropertyListHolder properties;
    if (codec.LoadFromMemory(data, size, images, properties)) {
        std::vector<uint8_t> bytes;
        FCImageHandle_Tga::Encode(*images[0], bytes);
    }
    return 0;
}
