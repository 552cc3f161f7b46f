// Pixels compared with libjpeg-turbo's own command-line tools: our decode
// must equal djpeg's, and our encode must decode like cjpeg's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "blocks.h"
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
    // djpeg's default decode (PPM, or PGM for greyscale); status 2: it
    // warned; -1: either.
    Pixels Djpeg(const std::string& jpeg, int status = 0) {
        std::string out = jpeg + ".pnm";
        int got = Shell("djpeg -outfile '" + out + "' '" + jpeg + "'");
        if (status >= 0) EXPECT_EQ(status, got) << jpeg;
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

// Byte for byte, padding included, even when the image lands in memory that
// earlier conversions left full of other pixels.
TEST_F(Reference, BmpFromJpegHoldsDjpegsPixels) {
    for (int channels : {3, 1}) {
        void* used[8];
        for (void*& block : used) memset(block = TakeBlock(1 << 20), 0xA5, 1 << 20);
        for (void* block : used) GiveBlock(block);
        std::string jpeg = At("in.jpg"), bmp = At("ours.bmp"), theirs = At("theirs.bmp");
        ASSERT_TRUE(SaveJpeg(jpeg, MakePicture(601, 451, channels, 3), 80));
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

// Where the first (or last) marker of this kind begins.
size_t MarkerAt(const std::vector<uint8_t>& jpeg, int marker, bool last = false) {
    size_t found = 0;
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) {
            found = i;
            if (!last) break;
        }
    EXPECT_NE(found, 0u) << std::hex << marker;
    return found;
}

std::vector<uint8_t> Cut(const std::vector<uint8_t>& bytes, size_t size) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size));
}

std::vector<uint8_t> Inserted(std::vector<uint8_t> bytes, size_t at, size_t count, uint8_t value) {
    bytes.insert(bytes.begin() + static_cast<long>(at), count, value);
    return bytes;
}

// Files on which djpeg warns. Where the warning cannot have changed a pixel
// we load the picture as djpeg writes it, equal to the undamaged file's;
// where libjpeg had to make up pixels we refuse the file.
TEST_F(Reference, JpegWarningsAcceptedOnlyWhereNoPixelChanged) {
    Pixels picture = MakePicture(64, 48, 3);
    std::string path = At("in.jpg");
    ASSERT_TRUE(SaveJpeg(path, picture, 90));
    const std::vector<uint8_t> base = ReadBytes(path);
    ASSERT_TRUE(SaveJpeg(path, picture, 90, 1));
    const std::vector<uint8_t> progressive = ReadBytes(path);
    JpegVariant restarts;
    restarts.restartRows = 1;
    ASSERT_TRUE(WriteJpegVariant(path, picture, restarts));
    const std::vector<uint8_t> restart = ReadBytes(path);
    ASSERT_EQ(base[2], 0xFF);
    ASSERT_EQ(base[3], 0xE0) << "JFIF header first";

    std::vector<uint8_t> jfif3 = base;
    jfif3[11] = 3;  // JFIF 3.01
    const size_t scan = MarkerAt(base, 0xDA), middle = scan + (base.size() - scan) / 2;
    std::vector<uint8_t> badCode = base, resync = restart;
    for (size_t i = 0; i < 16; i += 2) badCode[middle + i] = 0xFF, badCode[middle + i + 1] = 0;  // all ones: no code
    resync[MarkerAt(restart, 0xD1) + 1] = 0xD5;
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        const std::vector<uint8_t>* undamaged;  // null: refused
    } cases[] = {
        {"unknown JFIF revision", jfif3, &base},
        {"extraneous bytes after the JFIF segment", Inserted(base, 2 + 2 + 16, 5, 0x00), &base},
        {"extraneous bytes before the end marker", Inserted(base, base.size() - 2, 64, 0x55), &base},
        {"no end marker", Cut(base, base.size() - 2), &base},
        {"progressive, no end marker", Cut(progressive, progressive.size() - 2), &progressive},
        {"cut inside the picture", Cut(base, middle), nullptr},
        {"progressive, cut before its last scan", Cut(progressive, MarkerAt(progressive, 0xDA, true)), nullptr},
        {"corrupt entropy data", badCode, nullptr},
        {"restart marker out of sequence", resync, nullptr},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        Pixels djpegs = Djpeg(path, 2), ours = LoadJpegPixels(path);
        if (!c.undamaged) {
            EXPECT_TRUE(ours.data.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(64, djpegs.width) << c.what;
        EXPECT_EQ(0, MaxDifference(djpegs, ours)) << c.what;
        ASSERT_TRUE(WriteBytes(path, *c.undamaged));
        EXPECT_EQ(0, MaxDifference(Djpeg(path), ours)) << c.what << ": as undamaged";
    }
}

std::vector<uint8_t> WithEnd(std::vector<uint8_t> bytes) {
    bytes.push_back(0xFF);
    bytes.push_back(0xD9);
    return bytes;
}

// Where each scan's header begins.
std::vector<size_t> Scans(const std::vector<uint8_t>& jpeg) {
    std::vector<size_t> at;
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) at.push_back(i);
    return at;
}

// Files whose markers say they are complete, when some component never got
// its data: libjpeg shows that component flat, a picture it made up, and
// djpeg does not even warn. A progressive encoder may legally stop refining
// early, and such a file loads with djpeg's pixels.
TEST_F(Reference, FilesMissingAComponentAreRefusedEarlyStopsAreNot) {
    Pixels picture = MakePicture(40, 24, 3, 6);
    std::string path = At("in.jpg");
    JpegVariant sequential, bands, progressive;
    sequential.scanPerComponent = true;
    bands.scanPerComponent = bands.progressive = true;  // DC 0, DC 1, DC 2, AC 0, AC 1, AC 2
    progressive.progressive = true;                     // libjpeg's script, with refinement
    auto make = [&](const JpegVariant& v) {
        EXPECT_TRUE(WriteJpegVariant(path, picture, v));
        return ReadBytes(path);
    };
    const std::vector<uint8_t> s = make(sequential), b = make(bands), p = make(progressive);
    const std::vector<size_t> sScans = Scans(s), bScans = Scans(b), pScans = Scans(p);
    ASSERT_EQ(3u, sScans.size());
    ASSERT_EQ(6u, bScans.size());
    ASSERT_EQ(10u, pScans.size());
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        bool accepted;
    } cases[] = {
        {"sequential scans, whole", s, true},
        {"sequential scans, luma only, end marker", WithEnd(Cut(s, sScans[1])), false},
        {"sequential scans, two of three, end marker", WithEnd(Cut(s, sScans[2])), false},
        {"band scans, whole", b, true},
        {"band scans, no DC for the last component, end marker", WithEnd(Cut(b, bScans[2])), false},
        {"band scans, no AC for the last component, end marker", WithEnd(Cut(b, bScans[5])), true},
        {"band scans, no AC for the last component, no end marker", Cut(b, bScans[5]), false},
        {"libjpeg's script, stopped after five scans, end marker", WithEnd(Cut(p, pScans[5])), true},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        Pixels ours = LoadJpegPixels(path);
        if (!c.accepted) {
            EXPECT_TRUE(ours.data.empty()) << c.what;
            EXPECT_EQ(0, ConvertJpgToBmp(At("out.bmp").c_str(), path.c_str())) << c.what;
            continue;
        }
        EXPECT_EQ(0, MaxDifference(Djpeg(path, -1), ours)) << c.what;
    }
}

}  // namespace
