// PSNR of decoded pictures, and the search for the lowest JPEG quality that
// keeps a BMP at a PSNR, against files made the ordinary way.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "convert.h"
#include "image.h"
#include "picture_quality.h"
#include "test_images.h"

namespace {

ImageHandle HandleOf(const Pixels& pixels) { return reinterpret_cast<ImageHandle>(ImageOf(pixels)); }

// The PSNR of the picture encoded in memory at one quality and decoded.
double PsnrAt(ImageHandle picture, int quality, int progressive, int optimize) {
    uint8_t* data;
    size_t size;
    EXPECT_EQ(kImgctlSaved, DIBtoJPGMemory(picture, quality, progressive, optimize, &data, &size));
    ImageHandle decoded = JPGMemorytoDIB(data, size);
    DeleteJPGMemory(data);
    double psnr = -1;
    EXPECT_TRUE(PicturePsnr(decoded, picture, &psnr));
    DeleteDIB(decoded);
    return psnr;
}

TEST(PictureQuality, PsnrOverRedGreenAndBlue) {
    const Pixels grey = MakePicture(5, 3, 1);
    Pixels colour = grey, off;
    colour.channels = 3;
    colour.data.clear();
    for (uint8_t v : grey.data) colour.data.insert(colour.data.end(), {v, v, v});
    off = colour;
    off.At(4, 2)[1] ^= 1;
    const struct {
        const char* what;
        Pixels a, b;
        bool measured;
        double psnr;
    } cases[] = {
        {"equal", colour, colour, true, INFINITY},
        {"grey against its colour twin", grey, colour, true, INFINITY},
        {"one sample of 45 one step off", colour, off, true, 10 * std::log10(255.0 * 255.0 * 45)},
        {"sizes differ", colour, MakePicture(5, 4, 3), false, 0},
    };
    for (const auto& c : cases) {
        ImageHandle a = HandleOf(c.a), b = HandleOf(c.b);
        double psnr = 0;
        EXPECT_EQ(c.measured, PicturePsnr(a, b, &psnr)) << c.what;
        if (c.measured) {
            EXPECT_DOUBLE_EQ(c.psnr, psnr) << c.what;
        }
        DeleteDIB(a);
        DeleteDIB(b);
    }
}

// Soft waves in each channel: what lossy coding keeps better the higher
// the quality, as with a photograph.
Pixels Photo(int width, int height) {
    Pixels p = MakePicture(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = p.At(x, y);
            px[0] = uint8_t(128 + 60 * std::sin(x / 9.0) * std::cos(y / 13.0));
            px[1] = uint8_t(110 + 50 * std::sin((x + y) / 17.0));
            px[2] = uint8_t(100 + 40 * std::cos(x / 11.0 - y / 7.0));
        }
    return p;
}

Pixels Flat(int width, int height) {
    Pixels p = MakePicture(width, height, 3);
    for (size_t i = 0; i < p.data.size(); i += 3) p.data[i] = 90, p.data[i + 1] = 140, p.data[i + 2] = 200;
    return p;
}

Pixels Noisy(int width, int height) {
    Pixels p = MakePicture(width, height, 3);
    uint32_t state = 12345;
    for (uint8_t& v : p.data) v = uint8_t((state = state * 1103515245u + 12345u) >> 24);
    return p;
}

// The answer reaches the target and the quality below it does not; the JPEG
// ConvertBmpToJpg writes at that quality has exactly the bytes and the PSNR
// reported.
TEST(PictureQuality, LowestQualityReachingTheTarget) {
    const struct {
        const char* what;
        Pixels picture;
        double target;
        int progressive, optimize;
        bool reached;
    } cases[] = {
        {"photograph", Photo(64, 48), 40, 0, 0, true},
        {"photograph, progressive", Photo(64, 48), 45, 1, 0, true},
        {"photograph, optimised", Photo(64, 48), 35, 0, 1, true},
        {"flat", Flat(40, 24), 40, 0, 0, true},
        {"noisy", Noisy(48, 32), 12, 0, 1, true},
        {"noisy, out of reach", Noisy(48, 32), 20, 0, 0, false},
    };
    TempFolder folder;
    const std::string bmp = folder / "picture.bmp", jpg = folder / "picture.jpg";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteBytes(bmp, EncodePlainBmp(c.picture)));
        const QualityChoice choice = LowestQualityReaching(bmp.c_str(), c.target, c.progressive, c.optimize);
        EXPECT_EQ(c.reached, choice.reached);
        EXPECT_EQ(c.reached, choice.psnr >= c.target);
        if (!c.reached) {
            EXPECT_EQ(100, choice.quality);
        }
        ImageHandle picture = BMPtoDIB(bmp.c_str());
        if (c.reached && choice.quality > 1) {
            EXPECT_LT(PsnrAt(picture, choice.quality - 1, c.progressive, c.optimize), c.target) << choice.quality;
        }
        DeleteDIB(picture);
        ASSERT_EQ(1, ConvertBmpToJpg(jpg.c_str(), bmp.c_str(), choice.quality, c.progressive, c.optimize));
        EXPECT_EQ(choice.bytes, ReadBytes(jpg).size());
        double psnr = 0;
        EXPECT_TRUE(MeasurePsnr(jpg.c_str(), bmp.c_str(), &psnr));
        EXPECT_EQ(choice.psnr, psnr);
    }
    // A PSNR exactly at the target reaches it (the photograph's PSNR grows
    // with the quality: the same answer).
    ASSERT_TRUE(WriteBytes(bmp, EncodePlainBmp(Photo(64, 48))));
    const QualityChoice first = LowestQualityReaching(bmp.c_str(), 40, 0, 0);
    const QualityChoice again = LowestQualityReaching(bmp.c_str(), first.psnr, 0, 0);
    EXPECT_TRUE(again.reached);
    EXPECT_EQ(first.quality, again.quality);
    ASSERT_TRUE(WriteBytes(bmp, {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'}));
    const QualityChoice none = LowestQualityReaching(bmp.c_str(), 30, 0, 0);
    EXPECT_EQ(0, none.quality);
    EXPECT_FALSE(none.reached);
    EXPECT_EQ(kImgctlNotAPicture, LastImgctlError().kind);
    double psnr;
    EXPECT_FALSE(MeasurePsnr(jpg.c_str(), bmp.c_str(), &psnr));
}

}  // namespace
