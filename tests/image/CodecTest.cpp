#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "image/ImageHandleBmp.h"
#include "image/ImageHandleQt.h"
#include "image/ImageHandleTga.h"
#include "tests/image/ImageTestSupport.h"

using namespace kws::test;

namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/kws_image_XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A picture with many colours, so that palette and packing mistakes show.
void Paint(FCObjImage& image) {
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.GetBits(y);
        for (uint32_t i = 0; i < image.Pitch(); ++i)
            row[i] = static_cast<uint8_t>((y * 31 + i * 7 + (i * y) / 3) & 0xFF);
        if (image.ColorBits() == 32) {
            for (int x = 0; x < image.Width(); ++x)
                row[4 * x + 3] = static_cast<uint8_t>(40 + x % 200);
        }
    }
    if (image.ColorBits() <= 8) {
        std::vector<RgbQuad> palette(static_cast<size_t>(image.PaletteSize()));
        for (size_t i = 0; i < palette.size(); ++i) {
            palette[i] = {static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i),
                          static_cast<uint8_t>(i * 7), 0};
        }
        image.WritePalette(0, image.PaletteSize(), palette.data());
    }
}

std::unique_ptr<FCObjImage> Load(FCImageHandleBase& codec, const std::string& path) {
    ImageList images;
    PropertyListHolder properties;
    if (!codec.LoadFromFile(path, images, properties) || images.size() != 1) return nullptr;
    return std::move(images[0]);
}

bool LoadBytes(FCImageHandleBase& codec, const std::vector<uint8_t>& data) {
    ImageList images;
    PropertyListHolder properties;
    return codec.LoadFromMemory(data.data(), data.size(), images, properties);
}

}  // namespace

TEST(BmpCodec, ByteLayoutOfWrittenFiles) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(3, 2, 24));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(FCImageHandle_Bmp::Encode(image, bytes));
    EXPECT_EQ(bytes.size(), 78u);  // 54 + 2 rows of 9 bytes padded to 12
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[10], 54);
    EXPECT_EQ(bytes[2], 78);
    ASSERT_TRUE(image.CreateBlank(3, 2, 8));
    ASSERT_TRUE(FCImageHandle_Bmp::Encode(image, bytes));
    EXPECT_EQ(bytes[10] | (bytes[11] << 8), 1078);
    ASSERT_TRUE(image.CreateBlank(3, 2, 4));
    ASSERT_TRUE(FCImageHandle_Bmp::Encode(image, bytes));
    EXPECT_EQ(bytes[10], 118);
    EXPECT_EQ(bytes[54 + 4 * 15], 255);  // 16-entry gray palette
}

TEST(TgaCodec, ByteLayoutOfWrittenFiles) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(3, 2, 8));
    Paint(image);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(FCImageHandle_Tga::Encode(image, bytes));
    EXPECT_EQ(bytes.size(), 798u + 6u);  // pixel rows at 798
    EXPECT_EQ(bytes[0], 12);
    EXPECT_EQ(bytes[1], 1);
    EXPECT_EQ(bytes[2], 1);
    EXPECT_EQ(bytes[17], 0x20);
    EXPECT_EQ(std::string(bytes.begin() + 18, bytes.begin() + 30), "Lumox -- TGA");
    EXPECT_EQ(bytes[798], image.GetBits(0)[0]);  // top row first
    ASSERT_TRUE(image.CreateBlank(3, 2, 4));
    EXPECT_FALSE(FCImageHandle_Tga::Encode(image, bytes));
}

TEST(TgaCodec, RunLengthPacketsOrientationAndRunLengthKey) {
    // A 4 x 2 grayscale picture, run-length coded: a run packet 0x83 gives four equal pixels.
    std::vector<uint8_t> file(18, 0);
    file[2] = 11;
    file[12] = 4;
    file[14] = 2;
    file[16] = 8;
    for (uint8_t b : {0x83, 0x40, 0x01, 0x10, 0x20, 0x81, 0x30}) file.push_back(b);
    FCImageHandle_Tga codec;
    ImageList images;
    PropertyListHolder properties;
    ASSERT_TRUE(codec.LoadFromMemory(file.data(), file.size(), images, properties));
    const FCObjImage& image = *images[0];
    // Without bit 0x20 the first stored row is the bottom row.
    const uint8_t bottom[] = {0x40, 0x40, 0x40, 0x40};
    const uint8_t top[] = {0x10, 0x20, 0x30, 0x30};
    EXPECT_EQ(std::memcmp(image.GetBits(1), bottom, 4), 0);
    EXPECT_EQ(std::memcmp(image.GetBits(0), top, 4), 0);
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->GetValue(kImagePropertyTgaRunLength), "1");
    RgbQuad q;
    image.ReadPalette(200, 1, &q);
    EXPECT_EQ(q.green, 200);  // grayscale keeps the gray ramp
}

TEST(Codecs, ReadFilesOfIndependentEncodersPixelExactly) {
    FCImageHandle_Bmp bmp;
    FCImageHandle_Tga tga;
    const char* files[] = {"pil_1bit.bmp",
                           "pil_8bit.bmp",
                           "pil_24bit.bmp",
                           "pil_32bit.bmp",
                           "im_4bit.bmp",
                           "im_8bit.bmp",
                           "im_24bit.bmp",
                           "im_16bit_565.bmp",
                           "im_16bit_555.bmp",
                           "pil_24bit_top.tga",
                           "pil_24bit_bottom.tga",
                           "pil_24bit_rle.tga",
                           "pil_32bit_rle_top.tga",
                           "pil_8bit_mapped.tga",
                           "pil_8bit_mapped_rle.tga",
                           "pil_8bit_gray.tga",
                           "pil_8bit_gray_rle_top.tga",
                           "im_24bit_rle.tga",
                           "im_24bit.tga"};
    for (const char* name : files) {
        const std::string path = FixturePath(name);
        const bool isTga = std::string(name).find(".tga") != std::string::npos;
        auto image = Load(isTga ? static_cast<FCImageHandleBase&>(tga) : bmp, path);
        ASSERT_TRUE(image) << name;
        const bool has32 = std::string(name).find("32bit") != std::string::npos;
        Rgba want = ReadNetpbm(path + (has32 && isTga ? ".pam" : has32 ? ".pam" : ".ppm"));
        Rgba got = ToRgba(*image);
        ASSERT_EQ(got.width, want.width) << name;
        ASSERT_EQ(got.height, want.height) << name;
        if (!(has32 && isTga)) {
            // Only TGA carries alpha; the fourth byte of a plain 32-bit BMP is unused.
            for (size_t i = 3; i < got.pixels.size(); i += 4) got.pixels[i] = want.pixels[i] = 255;
        }
        if (image->ColorBits() == 16) {
            // 5- and 6-bit channels widen to 8 bits by rounding or by bit replication.
            for (size_t i = 0; i < got.pixels.size(); ++i) {
                ASSERT_LE(std::abs(got.pixels[i] - want.pixels[i]), 4) << name << " byte " << i;
            }
            continue;
        }
        EXPECT_EQ(got.pixels, want.pixels) << name;
    }
}

TEST(Codecs, WrittenFilesDecodeAlikeInImageMagickAndPillow) {
    TempDir dir;
    struct Case {
        int bits;
        bool masks565;
        const char* ext;
    };
    const Case cases[] = {{1, false, "bmp"},  {4, false, "bmp"},  {8, false, "bmp"},
                          {16, false, "bmp"}, {16, true, "bmp"},  {24, false, "bmp"},
                          {32, false, "bmp"}, {8, false, "tga"},  {16, false, "tga"},
                          {16, true, "tga"},  {24, false, "tga"}, {32, false, "tga"}};
    for (const Case& c : cases) {
        FCObjImage image;
        BitmapInfoHeader h;
        h.size = 40;
        h.width = 19;
        h.height = 6;
        h.planes = 1;
        h.bitCount = static_cast<uint16_t>(c.bits);
        h.compression = c.masks565 ? 3 : 0;
        const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
        ASSERT_TRUE(image.CreateFromHeader(h, masks));
        Paint(image);
        const std::string path =
            dir.File("out" + std::to_string(c.bits) + (c.masks565 ? "m" : "") + "." + c.ext);
        ASSERT_TRUE(image.SaveFile(path, FCImagePropertyList())) << path;
        Rgba want = ToRgba(image);
        if (c.bits == 32 && std::string(c.ext) == "bmp") {
            // BMP readers treat the fourth byte of an uncompressed 32-bit file as unused.
            for (size_t i = 3; i < want.pixels.size(); i += 4) want.pixels[i] = 255;
        }
        const std::string expected = RgbaBytes(want);
        if (c.bits == 16) {
            // 5- and 6-bit channels: the decoders may widen them differently; compare the
            // channels after reducing them again.
            const std::string got = DecodeWithImageMagick(path);
            ASSERT_EQ(got.size(), expected.size()) << path;
            for (size_t i = 0; i < got.size(); ++i) {
                EXPECT_LE(
                    std::abs(static_cast<uint8_t>(got[i]) - static_cast<uint8_t>(expected[i])), 4)
                    << path << " byte " << i;
            }
            continue;
        }
        const bool plainBmp32 = c.bits == 32 && std::string(c.ext) == "bmp";
        for (std::string decoded : {DecodeWithImageMagick(path), DecodeWithPillow(path)}) {
            if (plainBmp32) {
                for (size_t i = 3; i < decoded.size(); i += 4) decoded[i] = '\xFF';
            }
            EXPECT_EQ(decoded, expected) << path;
        }
    }
}

TEST(Codecs, AFullSizePictureSavesInEveryFormat) {
    TempDir dir;
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(1280, 1024, 24));
    // Few colours, large areas: a graph-like picture (exact also as GIF).
    for (int y = 0; y < 1024; ++y) {
        uint8_t* row = image.GetBits(y);
        for (int x = 0; x < 1280; ++x) {
            const bool curve = std::abs(y - 512 - static_cast<int>(300 * std::sin(x / 100.0))) < 2;
            const bool grid = x % 128 == 0 || y % 128 == 0;
            row[3 * x] = curve ? 255 : grid ? 105 : 245;
            row[3 * x + 1] = curve ? 188 : grid ? 105 : 245;
            row[3 * x + 2] = curve ? 0 : grid ? 105 : 245;
        }
    }
    const std::string expected = RgbaBytes(ToRgba(image));
    FCImagePropertyList properties;
    properties.SetValue(kImagePropertySaveQuality, "-1");
    for (const char* ext : {"png", "bmp", "tga", "gif", "tif", "ico", "jpg"}) {
        const std::string path = dir.File(std::string("graph.") + ext);
        ASSERT_TRUE(image.SaveFile(path, properties)) << ext;
        EXPECT_EQ(Capture("identify -format '%w x %h' '" + path + "'"), "1280 x 1024") << ext;
        const std::string decoded = DecodeWithImageMagick(path);
        if (std::string(ext) == "jpg") {
            ASSERT_EQ(decoded.size(), expected.size());
            EXPECT_EQ(Capture("identify -format '%Q' '" + path + "'"), "80");
        } else {
            EXPECT_TRUE(decoded == expected) << ext << " differs";
        }
    }
    properties.SetValue(kImagePropertySaveQuality, "100");
    ASSERT_TRUE(image.SaveFile(dir.File("best.jpg"), properties));
    EXPECT_EQ(Capture("identify -format '%Q' '" + dir.File("best.jpg") + "'"), "100");
}

TEST(Codecs, ExifItemsAreWrittenAndReadBack) {
    TempDir dir;
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(32, 16, 24));
    Paint(image);
    FCImagePropertyList properties;
    properties.SetValue(0x010F, "Calora");
    properties.SetValue(0x0110, "Control 2");
    properties.SetValue(0x829A, "1/250");
    properties.SetValue(0x9204, "-1/3");
    properties.SetValue(0x829D, "28");  // a rational without "/" is skipped
    properties.SetValue(0x8827, "200");
    // Each picture replaces a file whose mode it keeps, the items written or not.
    auto modeOf = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    };
    auto oldFile = [](const std::string& path, mode_t mode) {
        std::ofstream(path) << "old";
        ::chmod(path.c_str(), mode);
    };
    for (const char* ext : {"jpg", "png", "tif"}) {
        const std::string path = dir.File(std::string("exif.") + ext);
        oldFile(path, 0640);
        ASSERT_TRUE(image.SaveFile(path, properties)) << ext;
        EXPECT_EQ(modeOf(path), 0640u) << ext;
        FCImageHandle_QtImage codec;
        ImageList images;
        PropertyListHolder back;
        ASSERT_TRUE(codec.LoadFromFile(path, images, back)) << ext;
        ASSERT_TRUE(back) << ext;
        EXPECT_EQ(back->GetValue(0x010F), "Calora") << ext;
        EXPECT_EQ(back->GetValue(0x0110), "Control 2") << ext;
        EXPECT_EQ(back->GetValue(0x829A), "1/250") << ext;
        EXPECT_EQ(back->GetValue(0x9204), "-1/3") << ext;
        EXPECT_EQ(back->GetValue(0x8827), "200") << ext;
        EXPECT_EQ(back->GetValue(0x829D), "") << ext;
        EXPECT_EQ(images[0]->Width(), 32);
    }
    EXPECT_EQ(Capture("identify -format '%[EXIF:Make]' '" + dir.File("exif.jpg") + "'"), "Calora");
    EXPECT_EQ(LastImageSaveStatus().error, ImageSaveError::kNone);
    // A maker text too long for a JPEG's metadata segment: the picture is written, its
    // properties cannot be.
    FCImagePropertyList tooLong;
    tooLong.SetValue(0x010F, std::string(70000, 'M'));
    const std::string path = dir.File("picture.jpg");
    oldFile(path, 0604);
    EXPECT_FALSE(image.SaveFile(path, tooLong));
    EXPECT_EQ(modeOf(path), 0604u);
    EXPECT_EQ(LastImageSaveStatus().error, ImageSaveError::kPictureWithoutProperties);
    EXPECT_EQ(Capture("identify -format '%w x %h' '" + path + "'"), "32 x 16");
    // A save that wrote nothing says so.
    EXPECT_FALSE(image.SaveFile(dir.File("no/such/folder.png"), properties));
    EXPECT_EQ(LastImageSaveStatus().error, ImageSaveError::kMissingFolder);
}

TEST(Codecs, BadInputIsRefusedWithoutHarm) {
    FCImageHandle_Bmp bmp;
    FCImageHandle_Tga tga;
    FCImageHandle_QtImage qt;
    // A BMP header that claims 60000 x 60000 pixels in a 100-byte file.
    std::vector<uint8_t> lie(100, 0);
    lie[0] = 'B';
    lie[1] = 'M';
    lie[10] = 54;
    lie[14] = 40;
    lie[18] = 0x60;
    lie[19] = 0xEA;
    lie[22] = 0x60;
    lie[23] = 0xEA;
    lie[26] = 1;
    lie[28] = 24;
    EXPECT_FALSE(LoadBytes(bmp, lie));
    // Found by fuzzing: a width of 0x4000000D at 32 bits once wrapped the row size around.
    std::vector<uint8_t> wide;
    ASSERT_TRUE(ReadWholeFile(
        std::string(KWS_SOURCE_DIR) + "/tests/fuzz-seeds/bmp/regression-wide-row.bmp", wide));
    EXPECT_FALSE(LoadBytes(bmp, wide));
    FCObjImage tooWide;
    EXPECT_FALSE(tooWide.CreateBlank(1 << 30, 1, 32));
    // The same for a TGA, uncompressed and run-length coded.
    std::vector<uint8_t> tgaLie(40, 0);
    tgaLie[2] = 2;
    tgaLie[12] = tgaLie[13] = tgaLie[14] = tgaLie[15] = 0xFF;
    tgaLie[16] = 24;
    EXPECT_FALSE(LoadBytes(tga, tgaLie));
    tgaLie[2] = 10;
    EXPECT_FALSE(LoadBytes(tga, tgaLie));
    // Truncated files of every fixture: no crash; a short pixel block is allowed.
    for (const char* name :
         {"pil_8bit.bmp", "im_16bit_565.bmp", "pil_24bit_rle.tga", "pil_8bit_mapped.tga"}) {
        std::vector<uint8_t> data;
        ASSERT_TRUE(ReadWholeFile(FixturePath(name), data));
        for (size_t n = 0; n < data.size(); n += 7) {
            std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<long>(n));
            LoadBytes(bmp, cut);
            LoadBytes(tga, cut);
        }
    }
    // Random bytes through every reader.
    std::mt19937 random(1);
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> noise(1 + random() % 2000);
        for (auto& b : noise) b = static_cast<uint8_t>(random());
        if (i % 2) {
            noise[0] = 'B';
            if (noise.size() > 1) noise[1] = 'M';
        }
        LoadBytes(bmp, noise);
        LoadBytes(tga, noise);
        LoadBytes(qt, noise);
    }
    EXPECT_FALSE(LoadBytes(bmp, {}));
    ImageList images;
    PropertyListHolder properties;
    EXPECT_FALSE(bmp.LoadFromFile("/tmp/kws-no-such-picture.bmp", images, properties));
}

TEST(TgaCodec, FiveSixFivePicturesAreWrittenAsFiveFiveFive) {
    FCObjImage image;
    ASSERT_TRUE(CreateFiveSixFive(image, 4, 1));
    // Mid-gray, red, green, white in 5-6-5.
    const uint8_t pixels[] = {0x10, 0x84, 0x00, 0xF8, 0xE0, 0x07, 0xFF, 0xFF};
    std::memcpy(image.GetBits(0), pixels, sizeof pixels);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(FCImageHandle_Tga::Encode(image, bytes));
    ASSERT_EQ(bytes.size(), 30u + 8u);
    EXPECT_EQ(bytes[16], 16);
    // The same colours in 5-5-5: 6-bit green 32 becomes 16, 63 becomes 31.
    const std::vector<uint8_t> want{0x10, 0x42, 0x00, 0x7C, 0xE0, 0x03, 0xFF, 0x7F};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 30, bytes.end()), want);
    // Read back, the colours are the ones of the picture.
    FCImageHandle_Tga tga;
    ImageList images;
    PropertyListHolder properties;
    ASSERT_TRUE(tga.LoadFromMemory(bytes.data(), bytes.size(), images, properties));
    const Rgba back = ToRgba(*images[0]);
    EXPECT_EQ(std::vector<uint8_t>(back.pixels.begin(), back.pixels.begin() + 4),
              (std::vector<uint8_t>{132, 132, 132, 255}));
}

namespace {

// A value in kB from /proc/self/status ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string name;
    long value;
    while (status >> name) {
        if (name == key + ":" && status >> value) return value;
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

}  // namespace

TEST(TgaCodec, RunLengthPicturesDecodeWithoutAStagingCopy) {
    // 4096 x 4096 at 32 bits (64 MiB) in run packets of 128 pixels: 640 KiB of file.
    const int side = 4096;
    std::vector<uint8_t> file(18, 0);
    file[2] = 10;
    file[12] = file[14] = side & 0xFF;
    file[13] = file[15] = side >> 8;
    file[16] = 32;
    file[17] = 0x20;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; x += 128)
            for (uint8_t b : {uint8_t{0xFF}, static_cast<uint8_t>(x >> 5), static_cast<uint8_t>(y),
                              uint8_t{7}, uint8_t{255}})
                file.push_back(b);
    // The peak resident memory while loading, against the picture's own 64 MiB.
    {
        std::ofstream reset("/proc/self/clear_refs");
        if (!(reset << "5" << std::flush)) GTEST_SKIP() << "peak memory cannot be reset here";
    }
    const long before = StatusKilobytes("VmRSS");
    FCImageHandle_Tga codec;
    ImageList images;
    PropertyListHolder properties;
    ASSERT_TRUE(codec.LoadFromMemory(file.data(), file.size(), images, properties));
    const long peak = StatusKilobytes("VmHWM");
    ASSERT_GT(before, 0);
    const long pictureKb = 64 * 1024;
    EXPECT_LT(peak - before, pictureKb * 5 / 4) << "peak grew by " << (peak - before) << " kB";
    const FCObjImage& image = *images[0];
    EXPECT_EQ(image.GetBits(4095)[4 * 4095 + 1], 0xFF);  // green: the row, 4095 & 0xFF
    EXPECT_EQ(image.GetBits(10)[4 * 300], 8);            // blue: the run from pixel 256, 256 >> 5
}
