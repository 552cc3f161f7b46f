// Pixels compared with libjpeg-turbo's own command-line tools: our decode
// must equal djpeg's, and our encode must decode like cjpeg's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "convert.h"
#include "test_images.h"

namespace {

int Shell(const std::string& command) {
    int status = std::system((command + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Reference : public ::testing::Test {
protected:
    TempFolder folder;
    std::string At(const std::string& name) const { return folder / name; }
    void SetUp() override {
        if (Shell("command -v djpeg >/dev/null") != 0)
            GTEST_SKIP() << "libjpeg-turbo-progs is not installed";
    }
    // djpeg's default decode (PPM, or PGM for greyscale).
    Pixels Djpeg(const std::string& jpeg) {
        std::string out = jpeg + ".pnm";
        EXPECT_EQ(0, Shell("djpeg -outfile '" + out + "' '" + jpeg + "'")) << jpeg;
        return ParsePnm(ReadBytes(out));
    }
};

TEST_F(Reference, DecodeEqualsDjpegForEveryKindOfJpeg) {
    Pixels colour = MakePicture(45, 31, 3, 4), grey = MakePicture(23, 17, 1, 4);
    ASSERT_TRUE(WriteBytes(At("colour.ppm"), EncodePnm(colour)));
    ASSERT_TRUE(WriteBytes(At("grey.pgm"), EncodePnm(grey)));
    const char* cjpegOptions[] = {
        "-baseline -quality 75", "-progressive", "-arithmetic", "-restart 1", "-sample 1x1", "-sample 2x1",
        "-sample 1x2", "-sample 4x1", "-quality 5 -baseline", "-optimize", "-grayscale",
    };
    for (const char* options : cjpegOptions)
        for (const char* source : {"colour.ppm", "grey.pgm"}) {
            std::string jpeg = At("v.jpg");
            ASSERT_EQ(0, Shell(std::string("cjpeg ") + options + " -outfile '" + jpeg + "' '" + At(source) + "'"));
            EXPECT_EQ(0, MaxDifference(Djpeg(jpeg), LoadJpegPixels(jpeg))) << options << " " << source;
        }
    for (bool ycck : {false, true}) {
        JpegVariant ink;
        ink.cmyk = !ycck;
        ink.ycck = ycck;
        std::string jpeg = At("ink.jpg");
        ASSERT_TRUE(WriteJpegVariant(jpeg, colour, ink));
        Pixels expected = Djpeg(jpeg);
        EXPECT_EQ(3, expected.channels);
        EXPECT_EQ(0, MaxDifference(expected, LoadJpegPixels(jpeg))) << (ycck ? "YCCK" : "CMYK");
    }
}

TEST_F(Reference, EncodeDecodesLikeCjpegBaseline) {
    Pixels colour = MakePicture(61, 35, 3, 9), grey = MakePicture(33, 19, 1, 9);
    ASSERT_TRUE(WriteBytes(At("colour.bmp"), EncodePlainBmp(colour)));
    ASSERT_TRUE(WriteBytes(At("grey.bmp"), EncodePlainBmp(grey)));
    for (int quality : {1, 30, 75, 100})
        for (int progressive : {0, 1})
            for (const char* source : {"colour.bmp", "grey.bmp"}) {
                std::string ours = At("ours.jpg"), theirs = At("theirs.jpg");
                std::string options = "-baseline -quality " + std::to_string(quality) + (progressive ? " -progressive" : "");
                if (std::string(source) == "grey.bmp") options += " -grayscale";
                ASSERT_EQ(1, ConvertBmpToJpg(ours.c_str(), At(source).c_str(), quality, progressive));
                ASSERT_EQ(0, Shell("cjpeg " + options + " -outfile '" + theirs + "' '" + At(source) + "'"));
                Pixels expected = Djpeg(theirs);
                ASSERT_FALSE(expected.data.empty());
                EXPECT_EQ(0, MaxDifference(expected, Djpeg(ours))) << options << " " << source;
            }
}

TEST_F(Reference, BmpFromJpegHoldsDjpegsPixels) {
    for (int channels : {3, 1}) {
        std::string jpeg = At("in.jpg"), bmp = At("ours.bmp"), theirs = At("theirs.bmp");
        ASSERT_TRUE(SaveJpeg(jpeg, MakePicture(27, 14, channels, 3), 80));
        ASSERT_EQ(1, ConvertJpgToBmp(bmp.c_str(), jpeg.c_str()));
        ASSERT_EQ(0, Shell("djpeg -bmp -outfile '" + theirs + "' '" + jpeg + "'"));
        std::vector<uint8_t> a = ReadBytes(bmp), b = ReadBytes(theirs);
        ASSERT_GE(a.size(), 54u);
        ASSERT_GE(b.size(), 54u);
        EXPECT_EQ(a[28], b[28]) << "bits per pixel";
        size_t ourPixels = a[10] | a[11] << 8, theirPixels = b[10] | b[11] << 8;
        EXPECT_TRUE(std::equal(a.begin() + static_cast<long>(ourPixels), a.end(),
                               b.begin() + static_cast<long>(theirPixels), b.end()))
            << channels;
    }
}

TEST_F(Reference, DamagedJpegIsRefusedWhereDjpegWarns) {
    std::string good = At("good.jpg");
    ASSERT_TRUE(SaveJpeg(good, MakePicture(64, 64, 3), 90));
    std::vector<uint8_t> bytes = ReadBytes(good);
    std::vector<std::vector<uint8_t>> damaged;
    damaged.emplace_back(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
    damaged.push_back(bytes);
    damaged.back().insert(damaged.back().end() - 2, 64, 0x55);
    for (size_t i = 0; i < damaged.size(); ++i) {
        std::string path = At("damaged.jpg");
        ASSERT_TRUE(WriteBytes(path, damaged[i]));
        EXPECT_EQ(2, Shell("djpeg -outfile /dev/null '" + path + "'")) << i << ": djpeg sees a warning";
        EXPECT_EQ(0u, JPGtoDIB(path.c_str())) << i;
    }
}

}  // namespace
