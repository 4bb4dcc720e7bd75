// Fuzz target: loading an image object from its transfer form.
#include <vector>

#include "image/ObjImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> copy(data, data + size);  // Transfer takes a writable buffer
    FCObjImage image;
    if (image.Transfer(false, copy.data(), copy.size()) != 0) {
        std::vector<uint8_t> back(image.Transfer(true, nullptr, 0));
        image.Transfer(true, back.data(), back.size());
    }
    return 0;
}
