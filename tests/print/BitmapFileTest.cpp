// Reading bitmap files for printing: files written byte by byte here, each pixel's colour worked
// out by hand.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageHandleBmp.h"
#include "print/BitmapFile.h"
#include "tests/image/ImageTestSupport.h"

namespace {

// Little-endian fields appended one after the other.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& U8(uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& Raw(const std::vector<uint8_t>& b) {
        data.insert(data.end(), b.begin(), b.end());
        return *this;
    }
};

struct Bitmap {
    bool fileHeader = true;
    int32_t width = 0, height = 0;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> masks;  // after the information header
    std::vector<QRgb> palette;    // written blue, green, red, 0
    size_t gap = 0;               // junk between the colour table and the pixels
    std::vector<uint8_t> pixels;  // the pixel block as stored, rows padded to 4 bytes
};

std::vector<uint8_t> Encode(const Bitmap& b) {
    Bytes extra;
    for (uint32_t m : b.masks) extra.U32(m);
    for (QRgb c : b.palette)
        extra.U8(static_cast<uint8_t>(qBlue(c)))
            .U8(static_cast<uint8_t>(qGreen(c)))
            .U8(static_cast<uint8_t>(qRed(c)))
            .U8(0);
    for (size_t i = 0; i < b.gap; ++i) extra.U8(0xEE);
    Bytes out;
    const uint32_t offset = (b.fileHeader ? 14 : 0) + 40 + static_cast<uint32_t>(extra.data.size());
    if (b.fileHeader) {
        out.U8('B').U8('M').U32(offset + static_cast<uint32_t>(b.pixels.size())).U32(0).U32(offset);
    }
    out.U32(40)
        .U32(static_cast<uint32_t>(b.width))
        .U32(static_cast<uint32_t>(b.height))
        .U16(1)
        .U16(b.bits)
        .U32(b.compression)
        .U32(0)
        .U32(2835)
        .U32(2835)
        .U32(b.colorsUsed)
        .U32(0);
    return out.Raw(extra.data).Raw(b.pixels).data;
}

class BitmapFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Write(const std::vector<uint8_t>& bytes) {
        const QString path = dir.filePath(QString("f%1.bmp").arg(count++));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }
    // The picture read from `bytes`, or a null image when the reader refuses it.
    QImage Read(const std::vector<uint8_t>& bytes) {
        QImage image;
        return ReadBitmapFile(Write(bytes), image) ? image : QImage();
    }
    // The pixels of `image` row by row from the top.
    static std::vector<QRgb> Pixels(const QImage& image) {
        std::vector<QRgb> out;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) out.push_back(image.pixel(x, y) | 0xFF000000u);
        return out;
    }
    int count = 0;
};

const QRgb kA = qRgb(10, 20, 30), kB = qRgb(200, 100, 50), kC = qRgb(7, 250, 128);

}  // namespace

TEST_F(BitmapFileTest, IndexedDepthsLookTheirPixelsUpInThePalette) {
    // 1 bit, 10 x 2: the stored rows are bottom-up; bit 7 of a byte is the leftmost pixel.
    Bitmap one;
    one.width = 10;
    one.height = 2;
    one.bits = 1;
    one.palette = {kA, kB};
    one.pixels = {0b10100000, 0b01000000, 0, 0, 0xFF, 0xC0, 0, 0};
    QImage image = Read(Encode(one));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(10, 2));
    EXPECT_EQ(Pixels(image), (std::vector<QRgb>{kB, kB, kB, kB, kB, kB, kB, kB, kB, kB,  // top
                                                kB, kA, kB, kA, kA, kA, kA, kA, kA, kB}));

    // 4 bits, 3 x 1: the high nibble is the left pixel.
    Bitmap four;
    four.width = 3;
    four.height = 1;
    four.bits = 4;
    for (int i = 0; i < 16; ++i) four.palette.push_back(qRgb(i * 10, 255 - i, i));
    four.pixels = {0x1F, 0x30, 0, 0};
    image = Read(Encode(four));
    EXPECT_EQ(Pixels(image),
              (std::vector<QRgb>{qRgb(10, 254, 1), qRgb(150, 240, 15), qRgb(30, 252, 3)}));

    // 8 bits with a short colour table (3 used): indices beyond it are black.
    Bitmap eight;
    eight.width = 2;
    eight.height = 1;
    eight.bits = 8;
    eight.colorsUsed = 3;
    eight.palette = {kA, kB, kC};
    eight.pixels = {2, 5, 0, 0};
    image = Read(Encode(eight));
    EXPECT_EQ(Pixels(image), (std::vector<QRgb>{kC, qRgb(0, 0, 0)}));
    // More colours than the depth can index is not a bitmap.
    eight.colorsUsed = 257;
    EXPECT_TRUE(Read(Encode(eight)).isNull());
}

TEST_F(BitmapFileTest, SixteenBitsWithDefaultAndExplicitMasks) {
    // Uncompressed 16 bits are 5-5-5; 5 bits widen as v * 255 / 31, rounded.
    Bitmap plain;
    plain.width = 4;
    plain.height = 1;
    plain.bits = 16;
    plain.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42};
    QImage image = Read(Encode(plain));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(Pixels(image), (std::vector<QRgb>{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                                qRgb(132, 132, 132)}));
    // Bit fields 5-6-5: 0x8410 is mid-gray (16, 32, 16), with 6 bits of green: 32 * 255 / 63.
    Bitmap fields = plain;
    fields.width = 3;
    fields.compression = 3;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = {0x10, 0x84, 0xE0, 0x07, 0x00, 0xF8, 0, 0};
    image = Read(Encode(fields));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(Pixels(image),
              (std::vector<QRgb>{qRgb(132, 130, 132), qRgb(0, 255, 0), qRgb(255, 0, 0)}));
}

TEST_F(BitmapFileTest, TheFiveSixFiveFilesOfTheImageLibraryArePrinted) {
    FCObjImage picture;
    ASSERT_TRUE(kws::test::CreateFiveSixFive(picture, 2, 1));
    picture.GetBits(0)[0] = 0x10;  // 0x8410: mid-gray
    picture.GetBits(0)[1] = 0x84;
    picture.GetBits(0)[2] = 0x1F;  // 0x001F: blue
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(FCImageHandle_Bmp::Encode(picture, bytes));
    const QImage image = Read(bytes);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(Pixels(image), (std::vector<QRgb>{qRgb(132, 130, 132), qRgb(0, 0, 255)}));
}

TEST_F(BitmapFileTest, TrueColourDepthsTopDownFilesAndPixelOffsets) {
    // 24 bits, 3 x 2: blue, green, red per pixel, rows padded from 9 to 12 bytes.
    Bitmap rgb;
    rgb.width = 3;
    rgb.height = 2;
    rgb.bits = 24;
    rgb.pixels = {30, 20, 10, 50, 100, 200, 128, 250, 7, 0, 0, 0,   // bottom row
                  1,  2,  3,  4,  5,   6,   7,   8,   9, 0, 0, 0};  // top row
    const std::vector<QRgb> bottomUp{qRgb(3, 2, 1), qRgb(6, 5, 4), qRgb(9, 8, 7), kA, kB, kC};
    EXPECT_EQ(Pixels(Read(Encode(rgb))), bottomUp);
    // A negative height stores the top row first.
    Bitmap topDown = rgb;
    topDown.height = -2;
    EXPECT_EQ(Pixels(Read(Encode(topDown))),
              (std::vector<QRgb>{kA, kB, kC, qRgb(3, 2, 1), qRgb(6, 5, 4), qRgb(9, 8, 7)}));
    // The file header's pixel offset is honoured: junk between header and pixels is skipped.
    Bitmap gap = rgb;
    gap.gap = 100;
    EXPECT_EQ(Pixels(Read(Encode(gap))), bottomUp);

    // 32 bits: blue, green, red and an unused byte; with bit fields the masks decide.
    Bitmap wide;
    wide.width = 2;
    wide.height = 1;
    wide.bits = 32;
    wide.pixels = {30, 20, 10, 99, 50, 100, 200, 0};
    EXPECT_EQ(Pixels(Read(Encode(wide))), (std::vector<QRgb>{kA, kB}));
    wide.compression = 3;
    wide.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red in the first byte
    EXPECT_EQ(Pixels(Read(Encode(wide))),
              (std::vector<QRgb>{qRgb(30, 20, 10), qRgb(50, 100, 200)}));
}

TEST_F(BitmapFileTest, HeaderlessAndCoreHeaderFiles) {
    // A bare bitmap: information header, colour table, pixels; no file header.
    Bitmap bare;
    bare.fileHeader = false;
    bare.width = 2;
    bare.height = 1;
    bare.bits = 8;
    bare.colorsUsed = 2;
    bare.palette = {kA, kB};
    bare.pixels = {1, 0, 0, 0};
    EXPECT_EQ(Pixels(Read(Encode(bare))), (std::vector<QRgb>{kB, kA}));

    // The old 12-byte core header: 16-bit fields, 3-byte colour table entries, here without
    // file header, 4 bits, 2 x 2.
    Bytes core;
    core.U32(12).U16(2).U16(2).U16(1).U16(4);
    for (int i = 0; i < 16; ++i)
        core.U8(static_cast<uint8_t>(i)).U8(0).U8(static_cast<uint8_t>(16 * i));
    core.Raw({0x12, 0, 0, 0, 0xF0, 0, 0, 0});
    EXPECT_EQ(Pixels(Read(core.data)),
              (std::vector<QRgb>{qRgb(240, 0, 15), qRgb(0, 0, 0), qRgb(16, 0, 1), qRgb(32, 0, 2)}));

    // 24 bits after a core header inside a file with file header.
    Bytes withHeader;
    withHeader.U8('B').U8('M').U32(42).U32(0).U32(26);
    withHeader.U32(12).U16(2).U16(1).U16(1).U16(24);
    withHeader.Raw({30, 20, 10, 50, 100, 200, 0, 0});
    EXPECT_EQ(Pixels(Read(withHeader.data)), (std::vector<QRgb>{kA, kB}));
}

TEST_F(BitmapFileTest, HostileAndUnsupportedFilesAreRefused) {
    // 78 bytes declaring 32768 x 16384 at 1 bit (64 MiB of pixels, 2 GiB decoded) and
    // 65536 x 65536 (512 MiB, 16 GiB decoded): refused before anything is allocated.
    for (const int32_t side : {32768, 65536}) {
        Bitmap lie;
        lie.width = side;
        lie.height = side == 32768 ? 16384 : 65536;
        lie.bits = 1;
        lie.palette = {kA, kB};
        lie.pixels.assign(16, 0xAA);
        const std::vector<uint8_t> bytes = Encode(lie);
        ASSERT_EQ(bytes.size(), 78u);
        EXPECT_TRUE(Read(bytes).isNull()) << side;
    }
    // A truncated file that holds part of what it declares loads with the rest blank.
    Bitmap cut;
    cut.width = 100;
    cut.height = 100;
    cut.bits = 24;
    cut.pixels.assign(300 * 60, 0xFF);  // the bottom 60 rows white
    const QImage partial = Read(Encode(cut));
    ASSERT_FALSE(partial.isNull());
    EXPECT_EQ(partial.pixel(50, 99), qRgb(255, 255, 255));
    EXPECT_EQ(partial.pixel(50, 0), qRgb(0, 0, 0));

    Bitmap fine;
    fine.width = 2;
    fine.height = 1;
    fine.bits = 8;
    fine.palette = {kA, kB};
    fine.colorsUsed = 2;
    fine.pixels = {1, 0, 0, 0};
    ASSERT_FALSE(Read(Encode(fine)).isNull());
    for (const uint32_t compression : {1u, 2u, 4u}) {  // run-length and embedded forms
        Bitmap rle = fine;
        rle.compression = compression;
        EXPECT_TRUE(Read(Encode(rle)).isNull()) << compression;
    }
    Bitmap fields24 = fine;  // bit fields belong to 16 and 32 bits only
    fields24.bits = 24;
    fields24.palette.clear();
    fields24.colorsUsed = 0;
    fields24.compression = 3;
    fields24.masks = {0xFF0000, 0xFF00, 0xFF};
    fields24.pixels = {1, 2, 3, 4, 5, 6, 0, 0};
    EXPECT_TRUE(Read(Encode(fields24)).isNull());
    for (const int32_t width : {0, -2}) {
        Bitmap bad = fine;
        bad.width = width;
        EXPECT_TRUE(Read(Encode(bad)).isNull()) << width;
    }
    Bitmap odd = fine;
    odd.bits = 12;
    EXPECT_TRUE(Read(Encode(odd)).isNull());
    std::vector<uint8_t> big = Encode(fine);
    big[14] = 108;  // a larger information header than this reader knows
    EXPECT_TRUE(Read(big).isNull());
    EXPECT_TRUE(Read(std::vector<uint8_t>(100, 'x')).isNull());
    const std::vector<uint8_t> whole = Encode(fine);
    EXPECT_TRUE(Read(std::vector<uint8_t>(whole.begin(), whole.begin() + 20)).isNull());
    QImage untouched(3, 3, QImage::Format_RGB32);
    EXPECT_FALSE(ReadBitmapFile(dir.filePath("missing.bmp"), untouched));
    EXPECT_EQ(untouched.size(), QSize(3, 3));
}
