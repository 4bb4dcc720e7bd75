#include <gtest/gtest.h>

#include <cstring>

#include "image/ImageHandle.h"
#include "image/ImageHandleQt.h"
#include "image/ObjImage.h"

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
