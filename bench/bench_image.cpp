// The picture readers on hostile and huge input:
//   bench_image hostile [--runs N]   a 78-byte bitmap file that declares 32768 x 16384 pixels at
//                                    1 bit (and one of 65536 x 65536): time per refusal and the
//                                    peak resident memory of the process afterwards.
//   bench_image tga-rle FILE         writes a run-length coded 16384 x 16384 TGA of 32 bits to
//                                    FILE (when it does not exist), loads it once and prints the
//                                    load time and the peak resident memory. Run it under
//                                    /usr/bin/time -v to see the same peak from outside.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "image/ImageHandleTga.h"
#include "print/BitmapFile.h"

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// File header, 40-byte information header declaring `width` x `height` at 1 bit, a two-entry
// palette and 16 bytes of pixels: 78 bytes in all.
std::vector<uint8_t> HostileBitmap(uint32_t width, uint32_t height) {
    std::vector<uint8_t> b(78, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, 78);
    Put32(b, 10, 62);
    Put32(b, 14, 40);
    Put32(b, 18, width);
    Put32(b, 22, height);
    b[26] = 1;     // planes
    b[28] = 1;     // bits per pixel
    b[58] = 0xFF;  // palette entry 1 white
    b[59] = 0xFF;
    b[60] = 0xFF;
    return b;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

int Hostile(int runs) {
    struct Case {
        const char* name;
        uint32_t width, height;
    } cases[] = {{"32768 x 16384 x 1", 32768, 16384}, {"65536 x 65536 x 1", 65536, 65536}};
    for (const Case& c : cases) {
        const std::string path = "/tmp/kws-bench-hostile.bmp";
        if (!WriteFile(path, HostileBitmap(c.width, c.height))) return 1;
        bool accepted = false;
        const double seconds = kws::bench::MedianSeconds(runs, [&] {
            QImage image;
            accepted = ReadBitmapFile(QString::fromStdString(path), image) || accepted;
        });
        std::remove(path.c_str());
        std::printf("hostile bitmap %-18s %s, median %.1f us per read (%d runs)\n", c.name,
                    accepted ? "ACCEPTED" : "refused", seconds * 1e6, runs);
    }
    std::printf("peak resident memory: %.1f MB\n", kws::bench::PeakResidentMegabytes());
    return 0;
}

// A 16384 x 16384 picture of 32 bits in run packets of 128 pixels.
std::vector<uint8_t> RunLengthTga() {
    const int size = 16384;
    std::vector<uint8_t> b(18, 0);
    b[2] = 10;  // run-length true colour
    b[12] = size & 0xFF;
    b[13] = size >> 8;
    b[14] = size & 0xFF;
    b[15] = size >> 8;
    b[16] = 32;
    b[17] = 0x20;
    b.reserve(18 + static_cast<size_t>(size) * (size / 128) * 5);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; x += 128) {
            b.push_back(0xFF);  // run of 128
            b.push_back(static_cast<uint8_t>(x >> 6));
            b.push_back(static_cast<uint8_t>(y >> 6));
            b.push_back(static_cast<uint8_t>((x + y) >> 7));
            b.push_back(255);
        }
    }
    return b;
}

int TgaRunLength(const std::string& path) {
    std::FILE* existing = std::fopen(path.c_str(), "rb");
    if (existing != nullptr) {
        std::fclose(existing);
    } else if (!WriteFile(path, RunLengthTga())) {
        return 1;
    }
    const double before = kws::bench::PeakResidentMegabytes();
    FCImageHandle_Tga codec;
    ImageList images;
    PropertyListHolder properties;
    const double t0 = kws::bench::Now();
    const bool ok = codec.LoadFromFile(path, images, properties);
    const double seconds = kws::bench::Now() - t0;
    std::printf("tga run-length 16384 x 16384 x 32: %s in %.2f s\n", ok ? "loaded" : "FAILED",
                seconds);
    std::printf("peak resident memory: %.0f MB (%.0f MB before loading; the picture is %.0f MB)\n",
                kws::bench::PeakResidentMegabytes(), before, 16384.0 * 16384 * 4 / (1 << 20));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hostile") {
        int runs = 200;
        if (argc > 3 && !std::strcmp(argv[2], "--runs")) runs = std::atoi(argv[3]);
        return Hostile(runs);
    }
    if (mode == "tga-rle" && argc > 2) return TgaRunLength(argv[2]);
    std::fprintf(stderr, "usage: bench_image hostile [--runs N] | bench_image tga-rle FILE\n");
    return 2;
}
