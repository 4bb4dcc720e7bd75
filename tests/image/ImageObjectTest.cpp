#include <gtest/gtest.h>

#include <cstring>

#include "image/ImageHandle.h"
#include "image/ImageHandleQt.h"
#include "image/ObjImage.h"
#include "tests/image/ImageTestSupport.h"

TEST(FCObjImage, CreateBlankChecksItsArgumentsFirst) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(10, 10, 24));
    EXPECT_FALSE(image.CreateBlank(0, 10, 24));
    EXPECT_FALSE(image.CreateBlank(10, 10, 12));
    EXPECT_FALSE(image.CreateBlank(-3, 10, 8));
    EXPECT_FALSE(image.CreateBlank(1 << 20, 1 << 20, 32));  // beyond the size limit
    EXPECT_EQ(image.Width(), 10);                           // the previous image stays
    EXPECT_EQ(image.ColorBits(), 24);
    EXPECT_EQ(image.Pitch(), 32u);  // 30 bytes padded to 4
    EXPECT_EQ(image.Header().size, 40u);
    EXPECT_EQ(image.Header().planes, 1);
    // Rows are stored bottom-up; the row table counts from the top.
    EXPECT_EQ(image.GetBits(9), image.GetMemStart());
    EXPECT_EQ(image.GetBits(0), image.GetMemStart() + 9 * 32);
}

TEST(FCObjImage, NewPalettesAreGrayRamps) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(4, 4, 8));
    RgbQuad q[256];
    ASSERT_TRUE(image.ReadPalette(0, 256, q));
    EXPECT_EQ(q[255].red, 255);
    EXPECT_EQ(q[1].green, 1);
    ASSERT_TRUE(image.CreateBlank(4, 4, 1));
    ASSERT_TRUE(image.ReadPalette(0, 2, q));
    EXPECT_EQ(q[0].blue, 0);
    EXPECT_EQ(q[1].blue, 255);
    ASSERT_TRUE(image.CreateBlank(4, 4, 4));
    ASSERT_TRUE(image.ReadPalette(0, 16, q));
    EXPECT_EQ(q[3].red, 51);
    ASSERT_TRUE(image.CreateBlank(4, 4, 16));
    EXPECT_EQ(image.Masks()[1], 0x03E0u);
    EXPECT_FALSE(image.ReadPalette(0, 1, q));  // deeper images have no palette
    ASSERT_TRUE(image.CreateBlank(4, 4, 8));
    EXPECT_FALSE(image.ReadPalette(-1, 1, q));
    RgbQuad red{0, 0, 255, 0};
    ASSERT_TRUE(image.WritePalette(255, 5, &red));  // entries beyond the palette are skipped
    ASSERT_TRUE(image.ReadPalette(255, 1, q));
    EXPECT_EQ(q[0].red, 255);
}

TEST(FCObjImage, MakeBitmapInfoCarriesPaletteOrMasks) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(3, 2, 8));
    std::vector<uint8_t> info = image.MakeBitmapInfo();
    EXPECT_EQ(info.size(), 40u + 1024u);
    EXPECT_EQ(info[40 + 4 * 200], 200);
    ASSERT_TRUE(image.CreateBlank(3, 2, 24));
    info = image.MakeBitmapInfo();
    EXPECT_EQ(info.size(), 52u);
    EXPECT_EQ(info[0], 40);
    EXPECT_EQ(info[4], 3);
}

TEST(FCObjImage, ResizeNearestPicksSourcePixelsByIntegerDivision) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(4, 2, 8));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) image.GetBits(y)[x] = static_cast<uint8_t>(10 * y + x);
    RgbQuad red{0, 0, 255, 0};
    image.WritePalette(7, 1, &red);
    image.ResizeNearest(6, 3);
    ASSERT_EQ(image.Width(), 6);
    ASSERT_EQ(image.Height(), 3);
    // Column c takes c * 4 / 6, row r takes r * 2 / 3.
    const uint8_t expectedRow0[] = {0, 0, 1, 2, 2, 3};
    EXPECT_EQ(std::memcmp(image.GetBits(0), expectedRow0, 6), 0);
    EXPECT_EQ(image.GetBits(2)[5], 13);
    RgbQuad q;
    image.ReadPalette(7, 1, &q);
    EXPECT_EQ(q.red, 255);  // the palette survives

    FCObjImage four;
    ASSERT_TRUE(four.CreateBlank(4, 4, 4));
    four.ResizeNearest(8, 8);
    EXPECT_EQ(four.Width(), 4);  // 4-bit images are not resized

    FCObjImage big;
    ASSERT_TRUE(big.CreateBlank(333, 211, 24));
    big.ResizeNearest(1280, 1024);
    EXPECT_EQ(big.Width(), 1280);
    EXPECT_EQ(big.Height(), 1024);
}

TEST(FCObjImage, TransferRoundTripAndRefusesShortBuffers) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(5, 3, 16));
    image.x = 7;
    image.y = -2;
    for (int y = 0; y < 3; ++y) image.GetBits(y)[1] = static_cast<uint8_t>(y + 1);
    const size_t size = image.Transfer(true, nullptr, 0);
    EXPECT_EQ(size, image.PixelBytes() + 60);
    std::vector<uint8_t> buffer(size);
    ASSERT_EQ(image.Transfer(true, buffer.data(), buffer.size()), size);
    FCObjImage copy;
    ASSERT_EQ(copy.Transfer(false, buffer.data(), buffer.size()), size);
    EXPECT_EQ(copy.Width(), 5);
    EXPECT_EQ(copy.x, 7);
    EXPECT_EQ(copy.y, -2);
    EXPECT_EQ(copy.GetBits(2)[1], 3);
    // A buffer shorter than its header promises loads nothing and keeps the image.
    EXPECT_EQ(copy.Transfer(false, buffer.data(), buffer.size() - 1), 0u);
    EXPECT_EQ(copy.Width(), 5);
    buffer[4] = 0xFF;  // width 255: far more pixels than the buffer holds
    EXPECT_EQ(copy.Transfer(false, buffer.data(), buffer.size()), 0u);
}

TEST(ImageFactory, TypesFromExtensionsAndOwnership) {
    EXPECT_EQ(ImageTypeFromPath("graph.PNG"), IMG_PNG);
    EXPECT_EQ(ImageTypeFromPath("a.b.png"), IMG_PNG);
    EXPECT_EQ(ImageTypeFromPath("/dir.v2/file"), IMG_UNKNOW);
    EXPECT_EQ(ImageTypeFromPath("noextension"), IMG_UNKNOW);
    EXPECT_EQ(ImageTypeFromPath("x.jpeg"), IMG_JPG);
    EXPECT_EQ(ImageTypeFromPath("x.tiff"), IMG_TIF);
    EXPECT_EQ(ImageTypeFromPath("x.pcx"), IMG_PCX);
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(2, 2, 24));
    EXPECT_FALSE(image.SaveFile("/tmp/kws_picture.pcx", FCImagePropertyList()));
    EXPECT_FALSE(image.SaveFile("/tmp/kws_picture", FCImagePropertyList()));
    EXPECT_FALSE(FCObjImage().SaveFile("/tmp/kws_empty.bmp", FCImagePropertyList()));

    // Installing a factory destroys the previous one the library owned.
    struct CountingFactory : FCImageHandleFactory_QtImage {
        int* deleted;
        explicit CountingFactory(int* d) : deleted(d) {}
        ~CountingFactory() override { ++*deleted; }
    };
    int deleted = 0;
    auto* first = new CountingFactory(&deleted);
    InstallImageFactory(first);
    EXPECT_EQ(GetCurrentImageFactory(), first);
    InstallImageFactory(first);  // the same object: kept
    EXPECT_EQ(deleted, 0);
    CountingFactory notOwned(&deleted);
    InstallImageFactory(&notOwned, false);
    EXPECT_EQ(deleted, 1);
    InstallImageFactory(new FCImageHandleFactory_QtImage());
    EXPECT_EQ(deleted, 1);  // one the library did not own is left alone
}

TEST(QtImageCodec, QualityRule) {
    FCImagePropertyList p;
    EXPECT_EQ(FCImageHandle_QtImage::QualityFromProperties(p), 80);
    p.SetValue(kImagePropertySaveQuality, "-1");
    EXPECT_EQ(FCImageHandle_QtImage::QualityFromProperties(p), 80);
    p.SetValue(kImagePropertySaveQuality, "100");
    EXPECT_EQ(FCImageHandle_QtImage::QualityFromProperties(p), 100);
    p.SetValue(kImagePropertySaveQuality, "0");
    EXPECT_EQ(FCImageHandle_QtImage::QualityFromProperties(p), 1);
    p.SetValue(kImagePropertySaveQuality, "250");
    EXPECT_EQ(FCImageHandle_QtImage::QualityFromProperties(p), 100);
    FCImagePropertyList q;
    q.SetValue(kImagePropertyJpegQuality, "55");
    EXPECT_EQ(FCImageHandle_QtImage::QualityFromProperties(q), 55);
    EXPECT_EQ(q.GetValue(12345), "");
}

namespace {

// Fills a 3 x 2 image: pixel (x, y) gets the bytes `at(x, y)`.
template <typename At>
void FillPixels(FCObjImage& image, At at) {
    const int bytes = image.ColorBits() / 8;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const std::vector<uint8_t> v = at(x, y);
            std::memcpy(image.GetBits(y) + x * bytes, v.data(), static_cast<size_t>(bytes));
        }
}

std::vector<uint8_t> PixelAt(const FCObjImage& image, int x, int y) {
    const int bytes = image.ColorBits() / 8;
    const uint8_t* p = image.GetBits(y) + x * bytes;
    return std::vector<uint8_t>(p, p + bytes);
}

}  // namespace

TEST(FCObjImage, ResizeNearestCopiesWholePixelsAtEveryTrueColourDepth) {
    // 3 x 2 stretched to 5 x 3: target columns take source columns 0 0 1 1 2, target rows take
    // source rows 0 0 1 (c * 3 / 5 and r * 2 / 3, worked out by hand).
    const int fromColumn[5] = {0, 0, 1, 1, 2};
    const int fromRow[3] = {0, 0, 1};
    for (int bits : {24, 32}) {
        FCObjImage image;
        ASSERT_TRUE(image.CreateBlank(3, 2, bits));
        FillPixels(image, [](int x, int y) {
            return std::vector<uint8_t>{static_cast<uint8_t>(10 + x), static_cast<uint8_t>(20 + y),
                                        0x80, static_cast<uint8_t>(0xF0 + x + 3 * y)};
        });
        image.ResizeNearest(5, 3);
        ASSERT_EQ(image.Width(), 5);
        ASSERT_EQ(image.Height(), 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 5; ++c) {
                std::vector<uint8_t> want{
                    static_cast<uint8_t>(10 + fromColumn[c]), static_cast<uint8_t>(20 + fromRow[r]),
                    0x80, static_cast<uint8_t>(0xF0 + fromColumn[c] + 3 * fromRow[r])};
                want.resize(static_cast<size_t>(bits / 8));
                EXPECT_EQ(PixelAt(image, c, r), want) << bits << " bits at " << c << "," << r;
            }
    }
    // 16 bits with 5-6-5 masks: the pixels move unchanged and the masks stay, so that mid-gray
    // 0x8410 stays mid-gray (read as 5-5-5 it would be a dark blue).
    FCObjImage picture;
    ASSERT_TRUE(kws::test::CreateFiveSixFive(picture, 3, 2));
    const uint16_t source[2][3] = {{0x8410, 0xF800, 0x07E0}, {0x001F, 0xFFFF, 0x0000}};
    FillPixels(picture, [&](int x, int y) {
        return std::vector<uint8_t>{static_cast<uint8_t>(source[y][x] & 0xFF),
                                    static_cast<uint8_t>(source[y][x] >> 8)};
    });
    picture.ResizeNearest(5, 3);
    ASSERT_EQ(picture.Width(), 5);
    EXPECT_EQ(picture.Header().compression, 3u);
    EXPECT_EQ(std::vector<uint32_t>(picture.Masks(), picture.Masks() + 3),
              (std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}));
    const uint16_t want[3][5] = {{0x8410, 0x8410, 0xF800, 0xF800, 0x07E0},
                                 {0x8410, 0x8410, 0xF800, 0xF800, 0x07E0},
                                 {0x001F, 0x001F, 0xFFFF, 0xFFFF, 0x0000}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c) {
            const std::vector<uint8_t> got = PixelAt(picture, c, r);
            EXPECT_EQ(got[0] | (got[1] << 8), want[r][c]) << c << "," << r;
        }
}

TEST(FCObjImage, CopyImageFromAnImageWithoutPixelsFailsAndTouchesNothing) {
    FCObjImage target;
    ASSERT_TRUE(target.CreateBlank(4, 3, 24));
    target.GetBits(1)[2] = 77;
    target.x = 5;
    FCObjImage empty;
    empty.x = 9;
    EXPECT_FALSE(target.CopyImage(empty));
    EXPECT_TRUE(target.HasPixels());
    EXPECT_EQ(target.Width(), 4);
    EXPECT_EQ(target.GetBits(1)[2], 77);
    EXPECT_EQ(target.x, 5);
    EXPECT_FALSE(empty.CopyImage(empty));
    // A copy from a picture takes header, pixels, palette and position.
    FCObjImage indexed;
    ASSERT_TRUE(indexed.CreateBlank(2, 2, 8));
    const RgbQuad red{0, 0, 255, 0};
    indexed.WritePalette(3, 1, &red);
    indexed.GetBits(0)[1] = 3;
    indexed.y = -4;
    ASSERT_TRUE(target.CopyImage(indexed));
    EXPECT_EQ(target.ColorBits(), 8);
    EXPECT_EQ(target.GetBits(0)[1], 3);
    EXPECT_EQ(target.Palette()[3].red, 255);
    EXPECT_EQ(target.y, -4);
    EXPECT_TRUE(target.CopyImage(target));
    // Copying as a value copies an image without pixels as one: position and all.
    FCObjImage copied(empty);
    EXPECT_FALSE(copied.HasPixels());
    EXPECT_EQ(copied.x, 9);
    target = empty;
    EXPECT_FALSE(target.HasPixels());
    EXPECT_EQ(target.x, 9);
}
