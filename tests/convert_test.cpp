// The three conversion primitives: argument order, results, and what they
// leave on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

#include "bounded_string.h"
#include "convert.h"
#include "convert_pool.h"
#include "image.h"
#include "test_images.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// The JPEG settings every streamed path must pass on unchanged.
struct Settings {
    int progressive, optimize;
};
const Settings kSettings[] = {{0, 0}, {1, 0}, {0, 1}};

PoolJob Job(const std::string& source, const std::string& target, const Settings& s) {
    PoolJob job = {};
    EXPECT_TRUE(CopyString(job.source, source.c_str()) && CopyString(job.target, target.c_str()));
    job.quality = 80;
    job.progressive = s.progressive;
    job.optimize = s.optimize;
    return job;
}

// A plain 24-bit BMP of the picture with junk in the row padding, stored
// bottom-up or top-down.
std::vector<uint8_t> Bmp24(const Pixels& picture, bool topDown) {
    std::vector<uint8_t> v = EncodePlainBmp(picture);
    const size_t stride = (size_t(picture.width) * 3 + 3) & ~size_t(3), used = size_t(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::fill(v.begin() + 54 + y * stride + used, v.begin() + 54 + (y + 1) * stride, uint8_t(0x5A));
    if (topDown) {
        for (int a = 0, b = picture.height - 1; a < b; ++a, --b)
            std::swap_ranges(v.begin() + 54 + a * stride, v.begin() + 54 + (a + 1) * stride, v.begin() + 54 + b * stride);
        const int32_t height = -picture.height;
        memcpy(&v[22], &height, 4);  // little-endian on every target
    }
    return v;
}

// Plain 24-bit files are read a chunk of rows at a time straight into the
// JPEG writer; the JPEG must be byte for byte the one from loading the whole
// picture. Widths give row padding 0..3; 1001 and 1002 pixels wide, a
// chunk holds 87 rows, so 300 and 131 rows take several chunks.
TEST_F(Primitives, StreamedBmpToJpegEqualsLoadThenSave) {
    const struct { int width, height; } sizes[] = {{4, 1}, {1, 9}, {2, 16}, {3, 17}, {1001, 300}, {1002, 131}};
    int seed = 0;
    for (const auto& size : sizes) {
        for (bool topDown : {false, true}) {
            ASSERT_TRUE(WriteBytes(At("in.bmp"), Bmp24(MakePicture(size.width, size.height, 3, ++seed), topDown)));
            for (const Settings& s : kSettings) {
                SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << (topDown ? " top-down" : "")
                                                << (s.progressive ? " progressive" : "")
                                                << (s.optimize ? " optimised" : ""));
                ASSERT_EQ(1, BMPtoJPG(At("streamed.jpg").c_str(), At("in.bmp").c_str(), 80, s.progressive, s.optimize));
                EXPECT_EQ(1, ConvertBmpToJpg(At("converted.jpg").c_str(), At("in.bmp").c_str(), 80, s.progressive,
                                             s.optimize));
                EXPECT_EQ(1, RunBmpToJpgJob(Job(At("in.bmp"), At("job.jpg"), s)));
                ImageHandle whole = BMPtoDIB(At("in.bmp").c_str());
                ASSERT_NE(0u, whole);
                EXPECT_EQ(1, DIBtoJPG(At("whole.jpg").c_str(), whole, 80, s.progressive, s.optimize));
                DeleteDIB(whole);
                for (const char* made : {"streamed.jpg", "converted.jpg", "job.jpg"})
                    EXPECT_EQ(ReadBytes(At("whole.jpg")), ReadBytes(At(made))) << made;
            }
        }
    }

    // Other BMPs go the whole-picture way; rows missing from the file fail
    // without leaving a target.
    ASSERT_TRUE(WriteBytes(At("grey.bmp"), EncodePlainBmp(MakePicture(9, 5, 1))));
    EXPECT_EQ(kBmpNotStreamed, BMPtoJPG(At("grey.jpg").c_str(), At("grey.bmp").c_str(), 80, 0));
    EXPECT_EQ(1, ConvertBmpToJpg(At("grey.jpg").c_str(), At("grey.bmp").c_str(), 80, 0));
    std::vector<uint8_t> cut = Bmp24(MakePicture(1001, 300, 3), false);
    cut.resize(cut.size() - 1);
    const uint32_t cutSize = uint32_t(cut.size());
    memcpy(&cut[2], &cutSize, 4);  // the file size agrees: only a row is short
    ASSERT_TRUE(WriteBytes(At("cut.bmp"), cut));
    EXPECT_EQ(0, BMPtoJPG(At("cut.jpg").c_str(), At("cut.bmp").c_str(), 80, 0));
    EXPECT_EQ(0, ConvertBmpToJpg(At("cut.jpg").c_str(), At("cut.bmp").c_str(), 80, 1));
    EXPECT_FALSE(FileExists(At("cut.jpg")));
}

// JPEG to BMP writes each band of rows at its place in the file, and JPEG to
// JPEG hands rows straight to the encoder; the files must be byte for byte
// those of loading the whole picture. A band of the 1001-pixel-wide picture
// holds 349 rows (the grey one 1044), so 1200 rows take several bands.
TEST_F(Primitives, StreamedFromJpegEqualsLoadThenSave) {
    JpegVariant plain, progressive, restarts, ink;
    progressive.progressive = true;
    restarts.restartRows = 1;
    ink.cmyk = true;
    const struct {
        const char* what;
        int width, height, channels;
        JpegVariant variant;
    } cases[] = {
        {"1x1", 1, 1, 3, plain},          {"odd sizes", 3, 17, 3, plain},     {"odd sizes", 17, 5, 3, plain},
        {"grey", 13, 7, 1, plain},        {"CMYK", 21, 11, 3, ink},           {"progressive", 45, 31, 3, progressive},
        {"restart markers", 37, 29, 3, restarts}, {"several bands", 1001, 1200, 3, plain},
        {"several bands, grey", 1001, 1200, 1, plain},
    };
    int seed = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << " " << c.width << "x" << c.height);
        ASSERT_TRUE(WriteJpegVariant(At("in.jpg"), MakePicture(c.width, c.height, c.channels, ++seed), c.variant));
        ImageHandle whole = JPGtoDIB(At("in.jpg").c_str());
        ASSERT_NE(0u, whole);
        ASSERT_EQ(1, DIBtoBMP(At("whole.bmp").c_str(), whole));
        ASSERT_EQ(1, ConvertJpgToBmp(At("streamed.bmp").c_str(), At("in.jpg").c_str()));
        EXPECT_EQ(ReadBytes(At("whole.bmp")), ReadBytes(At("streamed.bmp")));
        for (const Settings& s : kSettings) {
            ASSERT_EQ(1, DIBtoJPG(At("whole.jpg").c_str(), whole, 80, s.progressive, s.optimize));
            ASSERT_EQ(1, ConvertJpgToJpg(At("in.jpg").c_str(), At("streamed.jpg").c_str(), 80, s.progressive,
                                         s.optimize));
            ASSERT_EQ(1, RunJpgToJpgJob(Job(At("in.jpg"), At("job.jpg"), s)));
            EXPECT_EQ(ReadBytes(At("whole.jpg")), ReadBytes(At("streamed.jpg"))) << s.progressive << s.optimize;
            EXPECT_EQ(ReadBytes(At("whole.jpg")), ReadBytes(At("job.jpg"))) << s.progressive << s.optimize;
        }
        DeleteDIB(whole);
    }
    // Data that ends inside the picture (the last case is baseline) fails
    // after some bands were written,
    // leaving no target.
    std::vector<uint8_t> cut = ReadBytes(At("in.jpg"));
    cut.resize(cut.size() * 3 / 4);
    ASSERT_TRUE(WriteBytes(At("cut.jpg"), cut));
    EXPECT_EQ(0, ConvertJpgToBmp(At("cut.bmp").c_str(), At("cut.jpg").c_str()));
    EXPECT_EQ(0, ConvertJpgToJpg(At("cut.jpg").c_str(), At("cut2.jpg").c_str(), 80, 0));
    EXPECT_FALSE(FileExists(At("cut.bmp")));
    EXPECT_FALSE(FileExists(At("cut2.jpg")));
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

// A save into a target it may not write. Natively a read-only folder; the
// test may run as root, whom no folder's mode stops, so the save then runs
// as nobody. Under Wine as root neither a folder's mode nor its read-only
// attribute stops a save: a target held open by another program (a viewer)
// does, as Windows will not replace it.
int SaveWhereForbidden(const TempFolder& folder, const std::function<int(const char*)>& save) {
#ifdef _WIN32
    const std::string target = folder / "held.jpg";
    EXPECT_TRUE(WriteBytes(target, {'o', 'l', 'd'}));
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, held);
    int status = save(target.c_str());
    CloseHandle(held);
#else
    const std::string locked = folder / "locked";
    EXPECT_EQ(0, mkdir(locked.c_str(), 0555));
    const bool root = geteuid() == 0;
    EXPECT_TRUE(!root || seteuid(65534) == 0);
    int status = save((locked + "/out.jpg").c_str());
    EXPECT_TRUE(!root || seteuid(0) == 0);
#endif
    return status;
}

// Every way a conversion fails says why, in the same words on every
// platform, on the thread that ran it; one that works clears the reason.
TEST_F(Primitives, FailuresSayWhy) {
    const Pixels picture = MakePicture(40, 30, 3);
    const std::vector<uint8_t> bmp = EncodePlainBmp(picture), grey = EncodePlainBmp(MakePicture(40, 30, 1));
    ASSERT_TRUE(WriteBytes(At("good.bmp"), bmp));
    ASSERT_TRUE(SaveJpeg(At("good.jpg"), picture, 90));
    const std::vector<uint8_t> jpeg = ReadBytes(At("good.jpg"));
    const std::vector<uint8_t> cutJpeg(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 2 / 3));
    std::vector<uint8_t> deep = bmp, wide = bmp, twelveBit = jpeg;
    deep[28] = 64;
    wide[18] = uint8_t(kMaxImageSide + 1), wide[19] = uint8_t((kMaxImageSide + 1) >> 8);
    for (size_t i = 2; i + 4 < twelveBit.size(); ++i)
        if (twelveBit[i] == 0xFF && twelveBit[i + 1] == 0xC0) twelveBit[i + 4] = 12;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {
        {"text.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}},
        {"renamed.bmp", jpeg},
        {"cut.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 1000)},
        {"cut-grey.bmp", std::vector<uint8_t>(grey.begin(), grey.begin() + 1500)},
        {"cut.jpg", cutJpeg},
        {"deep.bmp", deep},
        {"wide.bmp", wide},
        {"twelve.jpg", twelveBit},
    };
    for (const auto& f : files) ASSERT_TRUE(WriteBytes(At(f.name), f.bytes)) << f.name;
    const std::string cutJpegText = "truncated at byte " + std::to_string(cutJpeg.size());
    auto toJpeg = [&](const char* bmpName) {
        return [=] { return ConvertBmpToJpg(At("out.jpg").c_str(), At(bmpName).c_str(), 75, 0); };
    };
    auto toBmp = [&](const char* jpgName) {
        return [=] { return ConvertJpgToBmp(At("out.bmp").c_str(), At(jpgName).c_str()); };
    };
    const struct {
        const char* what;
        std::function<int()> convert;
        std::string text;
    } cases[] = {
        {"a text file", toJpeg("text.bmp"), "not a BMP or JPEG picture"},
        {"a JPEG named .bmp", toJpeg("renamed.bmp"), "not a BMP or JPEG picture"},
        {"a text file as JPEG", toBmp("text.bmp"), "not a BMP or JPEG picture"},
        {"a BMP cut short, streamed", toJpeg("cut.bmp"), "truncated at byte 1000"},
        {"a grey BMP cut short, whole", toJpeg("cut-grey.bmp"), "truncated at byte 1500"},
        {"a JPEG cut short", toBmp("cut.jpg"), cutJpegText},
        {"JPEG bytes cut short",
         [&] {
             ImageHandle image = JPGMemorytoDIB(cutJpeg.data(), cutJpeg.size());
             DeleteDIB(image);
             return int(image != 0);
         },
         cutJpegText},
        {"a 64-bit BMP", toJpeg("deep.bmp"), "unsupported BMP: 64 bits per pixel"},
        {"a 12-bit JPEG", toBmp("twelve.jpg"), "unsupported JPEG: 12-bit samples"},
        {"a BMP past the side limit", toJpeg("wide.bmp"), "too large"},
        {"no such file", toBmp("missing.jpg"), "cannot open: No such file or directory"},
        {"no such folder",
         [&] { return ConvertJpgToBmp((folder / "missing" + kSeparator + "out.bmp").c_str(), At("good.jpg").c_str()); },
         "cannot write: No such file or directory"},
        {"a target it may not write",
         [&] {
             return SaveWhereForbidden(
                 folder, [&](const char* target) { return ConvertBmpToJpg(target, At("good.bmp").c_str(), 75, 0); });
         },
         "cannot write: Permission denied"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(0, c.convert()) << c.what;
        char text[160];
        DescribeImgctlError(LastImgctlError(), text, sizeof text);
        EXPECT_EQ(c.text, text) << c.what;
    }
    ASSERT_EQ(1, ConvertBmpToJpg(At("out.jpg").c_str(), At("good.bmp").c_str(), 75, 0));
    EXPECT_EQ(kImgctlNoError, LastImgctlError().kind);
    ImgctlErrorKind worker = kImgctlNoError;
    std::thread([&] {
        ConvertBmpToJpg(At("out.jpg").c_str(), At("text.bmp").c_str(), 75, 0);
        worker = LastImgctlError().kind;
    }).join();
    EXPECT_EQ(kImgctlNotAPicture, worker);
    EXPECT_EQ(kImgctlNoError, LastImgctlError().kind);
}

}  // namespace
