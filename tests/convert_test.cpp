// The three conversion primitives: argument order, results, and what they
// leave on disk.
#include <gtest/gtest.h>

#include "convert.h"
#include "test_images.h"

namespace {

class Primitives : public ::testing::Test {
protected:
    TempFolder folder;
    std::string At(const char* name) const { return folder / name; }
};

bool IsProgressive(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return jpeg[i + 1] == 0xC2;
    return false;
}

TEST_F(Primitives, JpegToBmpTakesTargetFirst) {
    ASSERT_TRUE(SaveJpeg(At("in.jpg"), MakePicture(21, 13, 3), 90));
    EXPECT_EQ(1, ConvertJpgToBmp(At("out.bmp").c_str(), At("in.jpg").c_str()));
    EXPECT_EQ(0, MaxDifference(LoadJpegPixels(At("in.jpg")), LoadBmpPixels(At("out.bmp"))));
}

TEST_F(Primitives, BmpToJpegPassesQualityAndProgressiveThrough) {
    Pixels picture = MakePicture(30, 20, 3);
    ASSERT_TRUE(WriteBytes(At("in.bmp"), EncodePlainBmp(picture)));
    EXPECT_EQ(1, ConvertBmpToJpg(At("low.jpg").c_str(), At("in.bmp").c_str(), 1, 0));
    EXPECT_EQ(1, ConvertBmpToJpg(At("high.jpg").c_str(), At("in.bmp").c_str(), 100, 1));
    EXPECT_FALSE(IsProgressive(ReadBytes(At("low.jpg"))));
    EXPECT_TRUE(IsProgressive(ReadBytes(At("high.jpg"))));
    EXPECT_LT(ReadBytes(At("low.jpg")).size(), ReadBytes(At("high.jpg")).size());
    EXPECT_LT(MaxDifference(picture, LoadJpegPixels(At("high.jpg"))), MaxDifference(picture, LoadJpegPixels(At("low.jpg"))));
}

TEST_F(Primitives, JpegToJpegTakesSourceFirstAndCanRewriteItsOwnSource) {
    ASSERT_TRUE(SaveJpeg(At("photo.jpg"), MakePicture(40, 40, 3), 95, 0));
    std::vector<uint8_t> original = ReadBytes(At("photo.jpg"));
    EXPECT_EQ(1, ConvertJpgToJpg(At("photo.jpg").c_str(), At("photo1.jpg").c_str(), 60, 1));
    EXPECT_EQ(original, ReadBytes(At("photo.jpg"))) << "the source stays unchanged";
    EXPECT_TRUE(IsProgressive(ReadBytes(At("photo1.jpg"))));

    EXPECT_EQ(1, ConvertJpgToJpg(At("photo.jpg").c_str(), At("photo.jpg").c_str(), 60, 1));
    EXPECT_TRUE(IsProgressive(ReadBytes(At("photo.jpg"))));
    EXPECT_EQ(40, LoadJpegPixels(At("photo.jpg")).width);
}

TEST_F(Primitives, UnloadableSourceGivesZeroAndWritesNothing) {
    ASSERT_TRUE(WriteBytes(At("text.bmp"), {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'}));
    ASSERT_TRUE(WriteBytes(At("text.jpg"), {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'g'}));
    EXPECT_EQ(0, ConvertJpgToBmp(At("a.bmp").c_str(), At("missing.jpg").c_str()));
    EXPECT_EQ(0, ConvertJpgToBmp(At("b.bmp").c_str(), At("text.jpg").c_str()));
    EXPECT_EQ(0, ConvertBmpToJpg(At("c.jpg").c_str(), At("text.bmp").c_str(), 75, 0));
    EXPECT_EQ(0, ConvertJpgToJpg(At("missing.jpg").c_str(), At("d.jpg").c_str(), 75, 0));
    for (const char* name : {"a.bmp", "b.bmp", "c.jpg", "d.jpg"}) EXPECT_FALSE(FileExists(At(name))) << name;
}

TEST_F(Primitives, SaveFailureIsPassedBack) {
    ASSERT_TRUE(SaveJpeg(At("in.jpg"), MakePicture(8, 8, 3), 90));
    std::string nowhere = folder / "missing";
    nowhere += kSeparator;
    EXPECT_EQ(0, ConvertJpgToBmp((nowhere + "out.bmp").c_str(), At("in.jpg").c_str()));
    EXPECT_EQ(0, ConvertJpgToJpg(At("in.jpg").c_str(), (nowhere + "out.jpg").c_str(), 75, 0));
}

}  // namespace
