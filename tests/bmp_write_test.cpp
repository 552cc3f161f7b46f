// Saving BMP files: the layout every viewer reads, exact round trips, and
// saves that fail or replace a file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image.h"
#include "test_images.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& v, size_t at) {
    return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24;
}
uint32_t Get16(const std::vector<uint8_t>& v, size_t at) { return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8; }

int Save(const std::string& path, const Pixels& p) {
    Image* image = ImageOf(p);
    int status = DIBtoBMP(path.c_str(), reinterpret_cast<ImageHandle>(image));
    FreeImage(image);
    return status;
}

TEST(BmpWrite, PlainLayoutAndExactRoundTrip) {
    TempFolder folder;
    for (int channels : {3, 1})
        for (int width = 1; width <= 5; ++width)
            for (int height : {1, 4}) {
                SCOPED_TRACE(testing::Message() << channels << " " << width << "x" << height);
                const Pixels picture = MakePicture(width, height, channels, width);
                const std::string path = folder / "out.bmp";
                ASSERT_EQ(Save(path, picture), kImgctlSaved);
                const std::vector<uint8_t> file = ReadBytes(path);
                const std::vector<uint8_t> plain = EncodePlainBmp(picture);
                const size_t offset = channels == 1 ? 54 + 1024 : 54;
                ASSERT_EQ(file.size(), plain.size());
                EXPECT_EQ(file[0], 'B');
                EXPECT_EQ(file[1], 'M');
                EXPECT_EQ(Get32(file, 2), file.size());
                EXPECT_EQ(Get32(file, 10), offset);
                EXPECT_EQ(Get32(file, 14), 40u);
                EXPECT_EQ(Get32(file, 18), uint32_t(width));
                EXPECT_EQ(Get32(file, 22), uint32_t(height));  // positive: bottom-up
                EXPECT_EQ(Get16(file, 26), 1u);
                EXPECT_EQ(Get16(file, 28), uint32_t(8 * channels));
                EXPECT_EQ(Get32(file, 30), 0u);
                EXPECT_EQ(Get32(file, 34), file.size() - offset);
                // Palette and pixel rows, padding zero included, as the plain layout has them.
                EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), plain.begin() + 54));
                const Pixels back = LoadBmpPixels(path);
                EXPECT_EQ(back.channels, channels);
                EXPECT_EQ(MaxDifference(back, picture), 0);
            }
}

TEST(BmpWrite, LoadedFileSavesWithCleanPadding) {
    // A file read in place keeps its block; the noise in its row padding
    // must not reach the saved copy.
    TempFolder folder;
    const Pixels picture = MakePicture(3, 2, 3, 5);
    std::vector<uint8_t> bytes = EncodePlainBmp(picture);
    for (size_t row = 54; row < bytes.size(); row += 12) bytes[row + 9] = bytes[row + 10] = bytes[row + 11] = 0xEE;
    ASSERT_TRUE(WriteBytes(folder / "noisy.bmp", bytes));
    ImageHandle image = BMPtoDIB((folder / "noisy.bmp").c_str());
    ASSERT_NE(image, 0u);
    ASSERT_EQ(DIBtoBMP((folder / "clean.bmp").c_str(), image), kImgctlSaved);
    DeleteDIB(image);
    const std::vector<uint8_t> saved = ReadBytes(folder / "clean.bmp");
    const std::vector<uint8_t> plain = EncodePlainBmp(picture);
    ASSERT_EQ(saved.size(), plain.size());
    EXPECT_TRUE(std::equal(saved.begin() + 54, saved.end(), plain.begin() + 54));
}

TEST(BmpWrite, FailedSaveLeavesNothingAndReplaceOverwrites) {
    TempFolder folder;
    const Pixels picture = MakePicture(7, 3, 3);
    const std::string missing = folder / "no such folder" + kSeparator + "out.bmp";
    EXPECT_EQ(Save(missing, picture), kImgctlFailed);
    EXPECT_FALSE(FileExists(missing));
    EXPECT_EQ(DIBtoBMP((folder / "null.bmp").c_str(), 0), kImgctlFailed);
    EXPECT_FALSE(FileExists(folder / "null.bmp"));

    const std::string path = folder / "out.bmp";
    ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(100000, 0x55)));  // larger than the new file
    ASSERT_EQ(Save(path, picture), kImgctlSaved);
    EXPECT_EQ(ReadBytes(path).size(), EncodePlainBmp(picture).size());
    EXPECT_EQ(MaxDifference(LoadBmpPixels(path), picture), 0);
}

}  // namespace
