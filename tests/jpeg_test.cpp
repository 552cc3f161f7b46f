// The codec's JPEG side, run natively and as shipped under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image.h"
#include "imgctl.h"
#include "picture_quality.h"
#include "test_images.h"

namespace {

// The frame header of a JPEG file: its marker and component layout.
struct Frame {
    int marker = 0;  // 0xC0 baseline, 0xC2 progressive, ...
    int components = 0;
    int sampling[4] = {};
    int firstTable[64] = {};  // the first quantisation table, zigzag order
    int tablePrecision = -1;
};

Frame ReadFrame(const std::vector<uint8_t>& jpeg) {
    Frame frame;
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        int marker = jpeg[at + 1];
        size_t length = (jpeg[at + 2] << 8) | jpeg[at + 3];
        const uint8_t* body = &jpeg[at + 4];
        if (marker == 0xDB && frame.tablePrecision < 0) {
            frame.tablePrecision = body[0] >> 4;
            for (int i = 0; i < 64; ++i)
                frame.firstTable[i] = frame.tablePrecision ? (body[1 + 2 * i] << 8) | body[2 + 2 * i] : body[1 + i];
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            frame.marker = marker;
            frame.components = body[5];
            for (int i = 0; i < frame.components && i < 4; ++i) frame.sampling[i] = body[6 + 3 * i + 1];
            return frame;
        }
        at += 2 + length;
    }
    return frame;
}

class JpegCodec : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(JpegCodec, RoundTripKeepsSizeAndPicture) {
    for (int channels : {3, 1})
        for (int width : {1, 2, 3, 5, 17, 64}) {
            Pixels picture = MakeSmoothPicture(width, width == 1 ? 1 : 9, channels);
            std::string path = folder / "round.jpg";
            ASSERT_TRUE(SaveJpeg(path, picture, 100));
            Pixels back = LoadJpegPixels(path);
            ASSERT_EQ(picture.width, back.width);
            ASSERT_EQ(picture.height, back.height);
            ASSERT_EQ(channels, back.channels) << "greyscale stays greyscale";
            EXPECT_LE(MeanDifference(picture, back), 1.0) << width;
        }
}

TEST_F(JpegCodec, QualityAndProgressiveReachTheFile) {
    Pixels picture = MakePicture(48, 32, 3);
    std::string path = folder / "q.jpg";
    std::vector<size_t> sizes;
    for (int quality : {1, 50, 100}) {
        for (int progressive : {0, 1}) {
            ASSERT_TRUE(SaveJpeg(path, picture, quality, progressive));
            std::vector<uint8_t> bytes = ReadBytes(path);
            Frame frame = ReadFrame(bytes);
            EXPECT_EQ(progressive ? 0xC2 : 0xC0, frame.marker) << quality;
            EXPECT_EQ(3, frame.components);
            EXPECT_EQ(0x22, frame.sampling[0]) << "4:2:0";
            EXPECT_EQ(0x11, frame.sampling[1]);
            EXPECT_EQ(0, frame.tablePrecision) << "8-bit tables open in every viewer";
            int largest = *std::max_element(frame.firstTable, frame.firstTable + 64);
            if (quality == 100) {
                EXPECT_EQ(1, largest);
            } else if (quality == 1) {
                EXPECT_EQ(255, largest);
            } else {
                EXPECT_EQ(16, frame.firstTable[0]) << "libjpeg's standard table at 50";
            }
            if (!progressive) sizes.push_back(bytes.size());
            EXPECT_FALSE(LoadJpegPixels(path).data.empty());
        }
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
}

// Huffman tables made for the picture give the same pixels in fewer bytes;
// a progressive file has them anyway, so nothing changes there. The encode
// in memory is the file byte for byte, and its decode the file's pixels.
TEST_F(JpegCodec, OptimizedTablesKeepThePixelsInFewerBytes) {
    for (int channels : {3, 1})
        for (int progressive : {0, 1}) {
            SCOPED_TRACE(testing::Message() << channels << " channels" << (progressive ? ", progressive" : ""));
            ImageHandle image = reinterpret_cast<ImageHandle>(ImageOf(MakePicture(61, 47, channels)));
            std::vector<uint8_t> files[2];
            Pixels pixels[2];
            for (int optimize : {0, 1}) {
                std::string path = folder / "o.jpg";
                ASSERT_EQ(1, DIBtoJPG(path.c_str(), image, 85, progressive, optimize));
                files[optimize] = ReadBytes(path);
                pixels[optimize] = LoadJpegPixels(path);
                uint8_t* data;
                size_t size;
                ASSERT_EQ(kImgctlSaved, DIBtoJPGMemory(image, 85, progressive, optimize, &data, &size));
                EXPECT_EQ(files[optimize], std::vector<uint8_t>(data, data + size));
                ImageHandle decoded = JPGMemorytoDIB(data, size);
                EXPECT_EQ(0, MaxDifference(pixels[optimize], PixelsOf(decoded)));
                DeleteDIB(decoded);
                DeleteJPGMemory(data);
            }
            ASSERT_FALSE(pixels[0].data.empty());
            EXPECT_EQ(0, MaxDifference(pixels[0], pixels[1]));
            if (progressive)
                EXPECT_EQ(files[0], files[1]);
            else
                EXPECT_LT(files[1].size(), files[0].size());
            DeleteDIB(image);
        }
}

// Colour kept for every pixel (4:4:4) or for each 2x2 (4:2:0, the default),
// on red strokes over blue as icons and coloured text have them. Each entry
// point writes what libjpeg itself writes with that sampling, and full
// resolution keeps the coloured edges far better.
TEST_F(JpegCodec, FullResolutionColourKeepsColouredEdges) {
    Pixels picture;
    picture.width = 40;
    picture.height = 24;
    picture.data.resize(40 * 24 * 3);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const bool stroke = x % 9 == 4 || y % 8 == 3 || (x + y) % 13 == 0;
            picture.At(x, y)[0] = stroke ? 255 : 0;
            picture.At(x, y)[2] = stroke ? 0 : 255;
        }
    ImageHandle image = reinterpret_cast<ImageHandle>(ImageOf(picture));
    const std::string bmp = folder / "in.bmp", jpg = folder / "out.jpg", reference = folder / "libjpeg.jpg";
    ASSERT_TRUE(WriteBytes(bmp, EncodePlainBmp(picture)));
    struct Case {
        const char* what;
        bool given;
        JpegChroma chroma;
        int sampling;  // of libjpeg's luma for the same bytes
    } cases[] = {{"default", false, kChroma420, 2}, {"4:2:0", true, kChroma420, 2}, {"4:4:4", true, kChroma444, 1}};
    double psnr[3];
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        JpegVariant variant;
        variant.quality = 100;
        variant.lumaH = variant.lumaV = c.sampling;
        ASSERT_TRUE(WriteJpegVariant(reference, picture, variant));
        const std::vector<uint8_t> expected = ReadBytes(reference);
        uint8_t* data;
        size_t size;
        int status = c.given ? DIBtoJPGMemory(image, 100, 0, 0, &data, &size, c.chroma)
                             : DIBtoJPGMemory(image, 100, 0, 0, &data, &size);
        ASSERT_EQ(kImgctlSaved, status);
        EXPECT_EQ(expected, std::vector<uint8_t>(data, data + size));
        ImageHandle decoded = JPGMemorytoDIB(data, size);
        EXPECT_TRUE(PicturePsnr(decoded, image, &psnr[i]));
        DeleteDIB(decoded);
        DeleteJPGMemory(data);
        ASSERT_EQ(1, c.given ? DIBtoJPG(jpg.c_str(), image, 100, 0, 0, c.chroma) : DIBtoJPG(jpg.c_str(), image, 100, 0));
        EXPECT_EQ(expected, ReadBytes(jpg));
        ASSERT_EQ(1, c.given ? BMPtoJPG(jpg.c_str(), bmp.c_str(), 100, 0, 0, c.chroma)
                             : BMPtoJPG(jpg.c_str(), bmp.c_str(), 100, 0));
        EXPECT_EQ(expected, ReadBytes(jpg)) << "streamed from the BMP";
    }
    EXPECT_GT(psnr[2], psnr[1] + 10) << "4:2:0 " << psnr[1] << " dB, 4:4:4 " << psnr[2] << " dB";
    DeleteDIB(image);
}

TEST_F(JpegCodec, GreyscaleImageGivesGreyscaleJpeg) {
    std::string path = folder / "grey.jpg";
    ASSERT_TRUE(SaveJpeg(path, MakePicture(10, 10, 1), 75));
    EXPECT_EQ(1, ReadFrame(ReadBytes(path)).components);
}

TEST_F(JpegCodec, ReadsEveryKindOfEightBitJpeg) {
    Pixels picture = MakeSmoothPicture(37, 29, 3);
    std::string reference = folder / "reference.jpg";
    ASSERT_TRUE(WriteJpegVariant(reference, picture, JpegVariant{}));
    Pixels baseline = LoadJpegPixels(reference);
    ASSERT_FALSE(baseline.data.empty());

    struct Case {
        const char* name;
        JpegVariant variant;
        double tolerance;  // mean difference from the baseline decode of the same picture
    };
    JpegVariant arithmetic, progressive, restart, s444, s422, s411, s440;
    arithmetic.arithmetic = true;
    progressive.progressive = true;
    restart.restartRows = 1;
    s444.lumaH = s444.lumaV = 1;
    s422.lumaV = 1;
    s411.lumaH = 4, s411.lumaV = 1;
    s440.lumaH = 1;
    const Case cases[] = {
        {"arithmetic", arithmetic, 0}, {"progressive", progressive, 0}, {"restart markers", restart, 0},
        {"4:4:4", s444, 1.5},          {"4:2:2", s422, 1.5},            {"4:1:1", s411, 1.5},
        {"4:4:0", s440, 1.5},
    };
    for (const Case& c : cases) {
        std::string path = folder / "variant.jpg";
        ASSERT_TRUE(WriteJpegVariant(path, picture, c.variant));
        Pixels decoded = LoadJpegPixels(path);
        ASSERT_EQ(3, decoded.channels) << c.name;
        EXPECT_LE(MeanDifference(baseline, decoded), c.tolerance) << c.name;
    }
}

// The decoder reads the file a piece at a time: marker segments it skips
// run across the pieces, and the picture after them is the same.
TEST_F(JpegCodec, LargeSkippedSegmentsSpanTheReadPieces) {
    std::string path = folder / "plain.jpg";
    ASSERT_TRUE(SaveJpeg(path, MakePicture(40, 30, 3), 90));
    std::vector<uint8_t> bytes = ReadBytes(path);
    Pixels plain = LoadJpegPixels(path);
    ASSERT_FALSE(plain.data.empty());
    std::vector<uint8_t> segment = {0xFF, 0xE1, 0xFF, 0xFF};  // the largest APP1 segment
    segment.resize(2 + 0xFFFF, 0x5A);
    for (int i = 0; i < 9; ++i) bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
    ASSERT_TRUE(WriteBytes(path, bytes));
    EXPECT_EQ(0, MaxDifference(plain, LoadJpegPixels(path)));
}

TEST_F(JpegCodec, CmykAndYcckBecomeRgb) {
    Pixels picture = MakePicture(16, 16, 3, 2);
    Pixels expected = CmykRoundTrip(picture);
    for (bool ycck : {false, true}) {
        JpegVariant variant;
        variant.cmyk = !ycck;
        variant.ycck = ycck;
        variant.quality = 100;
        variant.lumaH = variant.lumaV = 1;
        std::string path = folder / "ink.jpg";
        ASSERT_TRUE(WriteJpegVariant(path, picture, variant));
        Pixels decoded = LoadJpegPixels(path);
        ASSERT_EQ(3, decoded.channels) << ycck;
        EXPECT_LE(MeanDifference(expected, decoded), 2.0) << ycck;
    }
}

TEST_F(JpegCodec, DamagedFilesDoNotLoad) {
    std::string good = folder / "good.jpg";
    ASSERT_TRUE(SaveJpeg(good, MakePicture(64, 64, 3), 90));
    std::vector<uint8_t> bytes = ReadBytes(good);

    auto loads = [&](const std::vector<uint8_t>& content) {
        std::string path = folder / "damaged.jpg";
        EXPECT_TRUE(WriteBytes(path, content));
        ImageHandle image = JPGtoDIB(path.c_str());
        DeleteDIB(image);
        return image != 0;
    };
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() * 2 / 3));
    EXPECT_FALSE(loads(cut)) << "premature end of data";
    std::vector<uint8_t> junk = bytes;
    junk.insert(junk.end() - 2, 64, 0x55);
    EXPECT_TRUE(loads(junk)) << "extraneous bytes before a marker change no pixel";
    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 200);
    EXPECT_FALSE(loads(header));
    EXPECT_FALSE(loads({0xFF, 0xD8}));
    EXPECT_FALSE(loads({'B', 'M', 0, 0}));
    std::vector<uint8_t> twelveBit = bytes;  // precision 12 is not an 8-bit JPEG
    for (size_t i = 2; i + 4 < twelveBit.size(); ++i)
        if (twelveBit[i] == 0xFF && twelveBit[i + 1] == 0xC0) twelveBit[i + 4] = 12;
    EXPECT_FALSE(loads(twelveBit));
    EXPECT_TRUE(loads(bytes));
    EXPECT_EQ(0u, JPGtoDIB((folder / "absent.jpg").c_str()));
    EXPECT_EQ(0u, JPGtoDIB(folder.Path().c_str())) << "a folder is not a file";
}

// Growth of the peak resident memory while f runs, in KiB (Linux only;
// elsewhere -1).
template <typename F>
long PeakGrowthKb(F f) {
#ifdef __linux__
    auto peak = [] {
        long kb = -1;
        FILE* status = fopen("/proc/self/status", "r");
        char line[256];
        while (status && fgets(line, sizeof line, status))
            if (sscanf(line, "VmHWM: %ld", &kb) == 1) break;
        if (status) fclose(status);
        return kb;
    };
    FILE* reset = fopen("/proc/self/clear_refs", "w");  // "5": the peak starts again from now
    if (!reset || fputs("5", reset) < 0 || fclose(reset) != 0) return -1;
    long before = peak();
    f();
    return peak() - before;
#else
    f();
    return -1;
#endif
}

// A small real file whose frame header claims a huge picture: its data ends
// long before the picture does. Refusing it must cost what the file holds,
// not what it claims: the whole-picture arrays and the rows' padding are
// touched only as the data reaches them.
TEST_F(JpegCodec, HugeClaimsCostOnlyWhatTheFileHolds) {
    JpegVariant progressive, scans, baseline;
    progressive.progressive = true;
    scans.scanPerComponent = true;
    const struct {
        const char* what;
        JpegVariant variant;
        int width, height;
    } cases[] = {
        {"progressive", progressive, 20000, 20000},
        {"sequential, three scans", scans, 26000, 27000},
        {"baseline, odd width", baseline, 20001, 26000},
    };
    for (const auto& c : cases) {
        std::string path = folder / "claim.jpg";
        ASSERT_TRUE(WriteJpegVariant(path, MakePicture(48, 48, 3), c.variant));
        std::vector<uint8_t> bytes = ReadBytes(path);
        size_t frame = 2;
        while (frame + 9 < bytes.size() && !(bytes[frame] == 0xFF && (bytes[frame + 1] & 0xF0) == 0xC0 &&
                                              bytes[frame + 1] != 0xC4))
            ++frame;
        ASSERT_LT(frame + 9, bytes.size());
        bytes[frame + 5] = uint8_t(c.height >> 8), bytes[frame + 6] = uint8_t(c.height);
        bytes[frame + 7] = uint8_t(c.width >> 8), bytes[frame + 8] = uint8_t(c.width);
        ASSERT_TRUE(WriteBytes(path, bytes));
        std::string bmp = folder / "claim.bmp";
        long streamed = PeakGrowthKb([&] {
            EXPECT_EQ(0, JPGtoBMP(bmp.c_str(), path.c_str())) << c.what;
            EXPECT_EQ(0, JPGtoJPG((folder / "claim2.jpg").c_str(), path.c_str(), 75, 0)) << c.what;
        });
        EXPECT_LT(streamed, 32 << 10) << c.what << ": KiB touched by the streamed conversions";
        long whole = PeakGrowthKb([&] {
            ImageHandle image = JPGtoDIB(path.c_str());
            EXPECT_EQ(0u, image) << c.what;
            DeleteDIB(image);
        });
        // The image handle takes one block for the claimed picture, left
        // untouched; AddressSanitizer marks an eighth of it when it is freed.
        long allowance = 32 << 10;
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
        allowance += long(uint64_t(c.width) * 3 * uint64_t(c.height) / 8 / 1024);
#endif
#endif
        EXPECT_LT(whole, allowance) << c.what << ": KiB touched by the image handle";
        EXPECT_FALSE(FileExists(bmp));
    }
}

// A file may have at most 100 scans: 100 load, 101 do not. Made from a file
// with one scan per component by repeating its luma scan, which a
// sequential file may do (the later scan replaces the earlier one).
TEST_F(JpegCodec, ScansAreBounded) {
    JpegVariant scans;
    scans.scanPerComponent = true;
    std::string path = folder / "scans.jpg";
    ASSERT_TRUE(WriteJpegVariant(path, MakePicture(24, 16, 3), scans));
    const std::vector<uint8_t> bytes = ReadBytes(path);
    size_t first = 2;
    while (first + 1 < bytes.size() && !(bytes[first] == 0xFF && bytes[first + 1] == 0xDA)) ++first;
    size_t end = first + 2;  // the next marker other than a restart marker
    while (end + 1 < bytes.size() && !(bytes[end] == 0xFF && bytes[end + 1] != 0 && (bytes[end + 1] & 0xF8) != 0xD0))
        ++end;
    ASSERT_LT(end + 1, bytes.size());
    const Pixels whole = LoadJpegPixels(path);
    ASSERT_FALSE(whole.data.empty());
    for (int total : {100, 101}) {
        std::vector<uint8_t> repeated = bytes;
        for (int i = 3; i < total; ++i) repeated.insert(repeated.begin() + long(end), bytes.begin() + long(first), bytes.begin() + long(end));
        ASSERT_TRUE(WriteBytes(path, repeated));
        if (total == 100)
            EXPECT_EQ(0, MaxDifference(whole, LoadJpegPixels(path)));
        else
            EXPECT_TRUE(LoadJpegPixels(path).data.empty());
    }
}

TEST_F(JpegCodec, FailedSaveLeavesNothingAndSuccessfulSaveLeavesNoTemporaryFile) {
    Image* image = ImageOf(MakePicture(8, 8, 3));
    ImageHandle handle = reinterpret_cast<ImageHandle>(image);
    std::string missing = folder / "no-such-folder";
    EXPECT_EQ(0, DIBtoJPG((missing + kSeparator + "a.jpg").c_str(), handle, 75, 0));
    EXPECT_EQ(0, DIBtoJPG("", handle, 75, 0));

    std::string target = folder / "a.jpg";
    ASSERT_TRUE(WriteBytes(target, {'o', 'l', 'd'}));
    EXPECT_EQ(1, DIBtoJPG(target.c_str(), handle, 75, 0));
    EXPECT_EQ(8, LoadJpegPixels(target).width) << "an existing target is replaced";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) ++files, (void)entry;
    EXPECT_EQ(1, files);
    FreeImage(image);
}

}  // namespace
