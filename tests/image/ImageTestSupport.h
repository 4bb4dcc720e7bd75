// Helpers of the image tests: pixels as RGBA, reference files, running the independent decoders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/ObjImage.h"

namespace kws::test {

struct Rgba {
    int width = 0, height = 0;
    bool alpha = false;
    std::vector<uint8_t> pixels;  // r, g, b, a per pixel, rows from the top
};

// The picture of an image object as RGBA (palette looked up, 16-bit channels expanded by
// rounding v * 255 / max).
inline Rgba ToRgba(const FCObjImage& image) {
    Rgba out{image.Width(), image.Height(), image.ColorBits() == 32, {}};
    const uint32_t* masks = image.Masks();
    auto expand = [](uint32_t v, uint32_t mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        const uint32_t value = (v >> shift) & mask;
        return static_cast<uint8_t>((value * 255 + mask / 2) / mask);
    };
    for (int y = 0; y < image.Height(); ++y) {
        const uint8_t* row = image.GetBits(y);
        for (int x = 0; x < image.Width(); ++x) {
            uint8_t r = 0, g = 0, b = 0, a = 255;
            switch (image.ColorBits()) {
                case 1:
                case 4:
                case 8: {
                    const int bits = image.ColorBits();
                    const int bitIndex = x * bits;
                    const int index =
                        (row[bitIndex / 8] >> (8 - bits - bitIndex % 8)) & ((1 << bits) - 1);
                    const RgbQuad& q = image.Palette()[index];
                    r = q.red;
                    g = q.green;
                    b = q.blue;
                    break;
                }
                case 16: {
                    const uint32_t v = row[2 * x] | (row[2 * x + 1] << 8);
                    r = expand(v, masks[0]);
                    g = expand(v, masks[1]);
                    b = expand(v, masks[2]);
                    break;
                }
                case 24:
                    b = row[3 * x];
                    g = row[3 * x + 1];
                    r = row[3 * x + 2];
                    break;
                case 32:
                    b = row[4 * x];
                    g = row[4 * x + 1];
                    r = row[4 * x + 2];
                    a = row[4 * x + 3];
                    break;
            }
            out.pixels.insert(out.pixels.end(), {r, g, b, a});
        }
    }
    return out;
}

// A blank 16-bit image with 5-6-5 masks (compression 3), as the platform codec makes one.
inline bool CreateFiveSixFive(FCObjImage& image, int width, int height) {
    BitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = 16;
    h.compression = 3;
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    return image.CreateFromHeader(h, masks);
}

// A binary PPM (P6) or PAM (P7, RGB_ALPHA) file as RGBA.
inline Rgba ReadNetpbm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    in >> magic;
    Rgba out;
    int depth = 3, maxval = 255;
    if (magic == "P6") {
        in >> out.width >> out.height >> maxval;
        in.get();
    } else {
        std::string key;
        while (in >> key && key != "ENDHDR") {
            if (key == "WIDTH")
                in >> out.width;
            else if (key == "HEIGHT")
                in >> out.height;
            else if (key == "DEPTH")
                in >> depth;
            else if (key == "MAXVAL")
                in >> maxval;
            else
                in >> key;
        }
        in.get();
        out.alpha = depth == 4;
    }
    std::vector<uint8_t> raw(static_cast<size_t>(out.width * out.height * depth));
    in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    for (size_t i = 0; i < raw.size(); i += static_cast<size_t>(depth)) {
        out.pixels.insert(out.pixels.end(),
                          {raw[i], raw[i + 1], raw[i + 2], depth == 4 ? raw[i + 3] : uint8_t{255}});
    }
    return out;
}

// Standard output of a shell command.
inline std::string Capture(const std::string& command) {
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return {};
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

// RGBA pixels of a file as ImageMagick decodes it.
inline std::string DecodeWithImageMagick(const std::string& path) {
    return Capture("convert '" + path + "' -depth 8 rgba:- 2>/dev/null");
}

// RGBA pixels of a file as Pillow decodes it.
inline std::string DecodeWithPillow(const std::string& path) {
    return Capture(
        "/usr/bin/python3 -c \"import sys; from PIL import Image; "
        "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGBA').tobytes())\" '" +
        path + "' 2>/dev/null");
}

inline std::string RgbaBytes(const Rgba& image) {
    return std::string(image.pixels.begin(), image.pixels.end());
}

inline std::string FixturePath(const std::string& name) {
    return std::string(KWS_SOURCE_DIR) + "/tests/image/fixtures/" + name;
}

}  // namespace kws::test
