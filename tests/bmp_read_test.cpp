// The BMP reader against files made here for each layout, against patched
// copies of good files, and against the public BMP conformance images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "blocks.h"
#include "image.h"
#include "imgctl.h"
#include "test_images.h"

namespace {

// A BMP to write; palette entries and 24-bit pixels are 0xRRGGBB, other
// pixels are palette indexes or raw 16/32-bit values, top row first.
struct Bmp {
    int headerSize = 40;
    int bpp = 24;
    uint32_t compression = 0;
    int width = 1;
    int height = 1;  // negative: top-down
    std::vector<uint32_t> palette;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> masks;  // after a 40-byte header, inside longer ones
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> rle;  // stored instead of pixels when not empty
};

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    Put16(v, at, x & 0xFFFF);
    Put16(v, at + 2, x >> 16);
}

std::vector<uint8_t> Encode(const Bmp& b) {
    const bool core = b.headerSize == 12;
    const size_t maskBytes = b.headerSize == 40 ? 4 * b.masks.size() : 0;
    const size_t entry = core ? 3 : 4;
    const size_t offset = 14 + b.headerSize + maskBytes + entry * b.palette.size();
    const int rows = std::abs(b.height);
    const size_t stride = (size_t(b.width) * b.bpp + 31) / 32 * 4;
    std::vector<uint8_t> v(offset, 0);
    if (!b.rle.empty()) {
        v.insert(v.end(), b.rle.begin(), b.rle.end());
    } else {
        v.resize(offset + stride * rows, 0xA5);  // padding and spare bits are noise
        for (int y = 0; y < rows; ++y) {
            uint8_t* row = &v[offset + stride * (b.height < 0 ? y : rows - 1 - y)];
            for (int x = 0; x < b.width; ++x) {
                uint32_t p = b.pixels[size_t(y) * b.width + x];
                if (b.bpp <= 8) {
                    int bit = x * b.bpp, shift = 8 - b.bpp - bit % 8;
                    row[bit / 8] = uint8_t((row[bit / 8] & ~(((1 << b.bpp) - 1) << shift)) | p << shift);
                } else {
                    for (int i = 0; i < b.bpp / 8; ++i) row[x * b.bpp / 8 + i] = uint8_t(p >> 8 * i);
                }
            }
        }
    }
    v[0] = 'B';
    v[1] = 'M';
    Put32(v, 2, uint32_t(v.size()));
    Put32(v, 10, uint32_t(offset));
    Put32(v, 14, b.headerSize);
    if (core) {
        Put16(v, 18, b.width);
        Put16(v, 20, b.height);
        Put16(v, 22, 1);
        Put16(v, 24, b.bpp);
    } else {
        Put32(v, 18, uint32_t(b.width));
        Put32(v, 22, uint32_t(b.height));
        Put16(v, 26, 1);
        Put16(v, 28, b.bpp);
    }
    if (b.headerSize >= 40) {
        Put32(v, 30, b.compression);
        Put32(v, 46, b.colorsUsed);
    }
    for (size_t i = 0; i < b.masks.size(); ++i) Put32(v, 54 + 4 * i, b.masks[i]);
    for (size_t i = 0; i < b.palette.size(); ++i)
        for (int c = 0; c < 3; ++c) v[14 + b.headerSize + maskBytes + entry * i + c] = uint8_t(b.palette[i] >> 8 * c);
    return v;
}

// What a reader must show, scaling each mask's value to 0..255.
Pixels Expected(const Bmp& b, int channels = 3) {
    Pixels p;
    p.width = b.width;
    p.height = std::abs(b.height);
    p.channels = channels;
    p.data.resize(size_t(p.width) * p.height * channels);
    std::vector<uint32_t> masks = b.masks;
    if (masks.empty() && b.bpp == 16) masks = {0x7C00, 0x3E0, 0x1F};
    if (masks.empty() && b.bpp == 32) masks = {0xFF0000, 0xFF00, 0xFF};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            uint32_t v = b.pixels[size_t(y) * b.width + x];
            uint32_t rgb = b.bpp <= 8 ? b.palette[v] : v;
            uint8_t* out = p.At(x, y);
            for (int c = 0; c < channels; ++c) {
                if (b.bpp > 8 && b.bpp != 24) {
                    uint32_t m = masks[c], shift = 0;
                    while (!(m >> shift & 1)) ++shift;
                    out[c] = uint8_t(std::lround(double((v & m) >> shift) * 255.0 / double(m >> shift)));
                } else {
                    out[c] = uint8_t(rgb >> (channels == 1 ? 0 : 16 - 8 * c));
                }
            }
        }
    return p;
}

Image* DecodeCopy(const std::vector<uint8_t>& bytes) {
    uint8_t* copy = static_cast<uint8_t*>(TakeBlock(bytes.size() + 1));
    if (!bytes.empty()) memcpy(copy, bytes.data(), bytes.size());
    return DecodeBmp(copy, bytes.size());
}

Pixels Decode(const std::vector<uint8_t>& bytes) {
    Image* image = DecodeCopy(bytes);
    Pixels p = PixelsOf(reinterpret_cast<ImageHandle>(image));
    FreeImage(image);
    return p;
}

bool Refused(const std::vector<uint8_t>& bytes) { return Decode(bytes).width == 0; }

std::vector<uint32_t> Colours(int n) {
    std::vector<uint32_t> palette;
    for (int i = 0; i < n; ++i) palette.push_back(uint32_t(i * 0x3A1F27 + 0x102030) & 0xFFFFFF);
    return palette;
}

std::vector<uint32_t> Pattern(int width, int height, uint32_t modulo, uint32_t scale = 1) {
    std::vector<uint32_t> v;
    for (int i = 0; i < width * height; ++i) v.push_back((uint32_t(i) * 7919u * scale + uint32_t(i / width)) % modulo);
    return v;
}

TEST(BmpRead, PaletteDepthsWidthsHeadersAndDirections) {
    for (int headerSize : {12, 16, 40, 64, 108, 124})
        for (int bpp : {1, 2, 4, 8})
            for (int width = 1; width <= 5; ++width)
                for (int height : {1, 3, -1, -2}) {
                    if ((headerSize == 12 && (bpp == 2 || height < 0))) continue;
                    Bmp b;
                    b.headerSize = headerSize;
                    b.bpp = bpp;
                    b.width = width;
                    b.height = height;
                    b.palette = Colours(1 << bpp);
                    b.pixels = Pattern(width, std::abs(height), 1u << bpp);
                    SCOPED_TRACE(testing::Message() << headerSize << " " << bpp << " " << width << "x" << height);
                    EXPECT_EQ(MaxDifference(Decode(Encode(b)), Expected(b)), 0);
                }
}

std::vector<uint32_t> Greys(int n) {
    std::vector<uint32_t> palette;
    for (int i = 0; i < n; ++i) palette.push_back(uint32_t(i * 70 + 20) * 0x010101);
    return palette;
}

// Why the codec refuses a file; kImgctlNoError when it loads.
ImgctlError Refusal(const TempFolder& folder, const std::vector<uint8_t>& bytes) {
    std::string path = folder / "refused.bmp";
    EXPECT_TRUE(WriteBytes(path, bytes));
    DeleteDIB(BMPtoDIB(path.c_str()));
    return LastImgctlError();
}

// Every way of drawing a palette pixel takes the entries the file holds and
// refuses an index past them: plain rows of each depth, grey rows decoded in
// place, RLE, OS/2 three-byte entries; the count stated or taken from the
// room before the pixels.
TEST(BmpRead, IndexesPastThePaletteAreRefused) {
    struct Case {
        const char* what;
        int headerSize, bpp, height;
        uint32_t compression;
        bool grey, stated;
        int colours;
    } cases[] = {
        {"1-bit", 40, 1, 1, 0, false, true, 1},          {"2-bit", 64, 2, 1, 0, false, false, 3},
        {"4-bit", 40, 4, 1, 0, false, true, 3},          {"4-bit grey", 40, 4, -1, 0, true, false, 3},
        {"8-bit", 40, 8, 1, 0, false, false, 5},         {"8-bit grey", 40, 8, 1, 0, true, true, 3},
        {"8-bit grey, top-down", 124, 8, -1, 0, true, false, 3}, {"OS/2 8-bit grey", 12, 8, 1, 0, true, false, 3},
        {"RLE8 grey", 40, 8, 1, 1, true, true, 3},       {"RLE4", 40, 4, 1, 2, false, false, 3},
    };
    TempFolder folder;
    for (const Case& c : cases)
        for (uint32_t index : {uint32_t(c.colours - 1), uint32_t(c.colours)}) {
            Bmp b;
            b.headerSize = c.headerSize;
            b.bpp = c.bpp;
            b.compression = c.compression;
            b.width = 2;
            b.height = c.height;
            b.palette = c.grey ? Greys(c.colours) : Colours(c.colours);
            b.colorsUsed = c.stated ? uint32_t(c.colours) : 0;
            b.pixels = {0, index};
            if (c.compression) b.rle = {1, 0, 1, uint8_t(c.bpp == 8 ? index : index << 4), 0, 1};
            SCOPED_TRACE(testing::Message() << c.what << ", index " << index);
            if (index < uint32_t(c.colours))
                EXPECT_EQ(MaxDifference(Decode(Encode(b)), Expected(b, c.grey ? 1 : 3)), 0);
            else
                EXPECT_STREQ(Refusal(folder, Encode(b)).detail, "BMP: a colour index past the palette");
        }
}

TEST(BmpRead, AllGreyPaletteGivesGreyImage) {
    Bmp b;
    b.bpp = 8;
    b.width = 5;
    for (uint32_t i = 0; i < 256; ++i) b.palette.push_back((255 - i) * 0x010101);  // not the identity
    b.pixels = Pattern(5, 3, 256);
    for (int height : {3, -3}) {  // decoded in place, rows flipped for top-down
        b.height = height;
        EXPECT_EQ(MaxDifference(Decode(Encode(b)), Expected(b, 1)), 0);
    }
    b.bpp = 4;
    b.palette.resize(16);
    b.pixels = Pattern(5, 3, 16);
    EXPECT_EQ(MaxDifference(Decode(Encode(b)), Expected(b, 1)), 0);
    b.palette[15] = 0x010000;  // one entry with a touch of red, even unused, keeps colour
    b.pixels.assign(15, 0);
    EXPECT_EQ(MaxDifference(Decode(Encode(b)), Expected(b, 3)), 0);
}

TEST(BmpRead, DirectColourDepthsAndMasks) {
    struct Case {
        int headerSize, bpp;
        uint32_t compression;
        std::vector<uint32_t> masks;
    } cases[] = {
        {40, 16, 0, {}},                                           // 5-5-5
        {40, 16, 3, {0xF800, 0x7E0, 0x1F}},                        // 5-6-5
        {40, 16, 3, {0x30, 0xE, 0x1}},                             // 2-3-1
        {40, 16, 6, {0xF00, 0xF0, 0xF, 0xF000}},                   // 4-4-4 with alpha
        {40, 24, 0, {}},
        {40, 32, 0, {}},
        {40, 32, 3, {0xFF, 0xFF00, 0xFF0000}},                     // R and B swapped
        {56, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},     // 10-10-10
        {124, 32, 3, {0xFFFF0000, 0xFF00, 0xFF, 0}},               // 16-bit red
    };
    for (const Case& c : cases)
        for (int width = 1; width <= 5; ++width)
            for (int height : {2, -3}) {
                Bmp b;
                b.headerSize = c.headerSize;
                b.bpp = c.bpp;
                b.compression = c.compression;
                b.masks = c.masks;
                b.width = width;
                b.height = height;
                uint32_t all = c.bpp == 32 ? 0xFFFFFFFFu : (1u << c.bpp) - 1;
                b.pixels = Pattern(width, std::abs(height), all, 0x9E3779B9u);
                std::vector<uint8_t> file = Encode(b);
                SCOPED_TRACE(testing::Message() << c.bpp << " " << c.masks.size() << " " << width << "x" << height);
                EXPECT_EQ(MaxDifference(Decode(file), Expected(b)), 0);
                if (c.bpp == 24) {  // decoded in place: the file's padding noise must not remain
                    Image* image = DecodeCopy(file);
                    ASSERT_NE(image, nullptr);
                    for (int y = 0; y < image->height; ++y)
                        for (size_t i = size_t(width) * 3; i < image->stride; ++i)
                            EXPECT_EQ(image->bits[y * image->stride + i], 0);
                    FreeImage(image);
                }
            }
}

TEST(BmpRead, BadMasksAreRefused) {
    for (std::vector<uint32_t> masks : std::vector<std::vector<uint32_t>>{
             {0xF800, 0x7E0, 0},        // no blue
             {0xF800, 0x7E1, 0x1F},     // overlap
             {0xF400, 0x3E0, 0x1F},     // a hole in red
             {0x1F800, 0x7E0, 0x1F}}) {  // wider than 16 bits
        Bmp b;
        b.bpp = 16;
        b.compression = 3;
        b.masks = masks;
        b.pixels = {0};
        EXPECT_TRUE(Refused(Encode(b))) << std::hex << masks[0] << " " << masks[1] << " " << masks[2];
    }
}

Bmp RleBmp(int bpp, int width, int height, std::vector<uint8_t> rle) {
    Bmp b;
    b.bpp = bpp;
    b.compression = bpp == 8 ? 1 : 2;
    b.width = width;
    b.height = height;
    b.palette = Colours(bpp == 8 ? 200 : 16);
    b.rle = rle;
    return b;
}

TEST(BmpRead, RleRunsLiteralsAndEscapes) {
    // 6x4, bottom row first; skipped pixels show palette entry 0.
    Bmp b = RleBmp(8, 6, 4, {3, 7, 0, 3, 9, 8, 150, 0,  // run, odd literal padded to 16 bits
                             0, 0,                      // end of line
                             0, 2, 2, 1,                // delta: two right, one up
                             2, 5, 0, 0,                // run, end of line
                             6, 4, 0, 1});              // run; end of bitmap
    b.pixels = {4, 4, 4, 4, 4, 4,  //
                0, 0, 5, 5, 0, 0,  //
                0, 0, 0, 0, 0, 0,  //
                7, 7, 7, 9, 8, 150};
    EXPECT_EQ(MaxDifference(Decode(Encode(b)), Expected(b)), 0);

    // RLE4: runs alternate two nibbles, literals hold two pixels a byte.
    Bmp c = RleBmp(4, 8, 2, {5, 0x12, 0, 3, 0x34, 0x50, 0, 0,   // run 1,2,1,2,1; literal 3,4,5; end of line
                             0, 5, 0x67, 0x89, 0xA0, 0,       // odd literal, padded
                             0, 2, 1, 0, 1, 0xF0, 0, 1});     // delta, run of one, end of bitmap
    c.pixels = {6, 7, 8, 9, 10, 0, 15, 0,  //
                1, 2, 1, 2, 1, 3, 4, 5};
    EXPECT_EQ(MaxDifference(Decode(Encode(c)), Expected(c)), 0);
}

TEST(BmpRead, RleOverrunsAndTruncationAreRefused) {
    struct Case {
        int bpp;
        uint32_t colours;
        std::vector<uint8_t> good, bad;
    } cases[] = {
        {8, 200, {0, 2, 4, 1, 0, 1}, {0, 2, 5, 1, 0, 1}},                      // delta to the edge, one past
        {8, 200, {0, 2, 0, 2, 0, 1}, {0, 2, 0, 3, 0, 1}},                      // delta above the top row
        {8, 200, {0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 1, 1, 0, 1}},                // writing past the top row
        {8, 200, {4, 1, 0, 1}, {4, 1}},                                        // no end of bitmap
        {8, 200, {0, 4, 1, 2, 3, 4, 0, 1}, {0, 4, 1, 2, 3}},                   // literal cut short
        {8, 200, {4, 199, 0, 1}, {4, 200, 0, 1}},                              // index past the palette
        {4, 15, {0, 3, 0x12, 0xE0, 0, 1}, {0, 3, 0x12, 0xF0, 0, 1}},
        {4, 15, {3, 0xE1, 0, 1}, {3, 0xF1, 0, 1}},
    };
    for (const Case& c : cases) {
        Bmp b = RleBmp(c.bpp, 4, 2, c.good);
        b.palette.resize(c.colours);
        b.colorsUsed = c.colours;
        EXPECT_FALSE(Refused(Encode(b))) << &c - cases;
        b.rle = c.bad;
        EXPECT_TRUE(Refused(Encode(b))) << &c - cases;
    }
    Bmp topDown = RleBmp(8, 4, -2, {4, 1, 0, 1});
    EXPECT_TRUE(Refused(Encode(topDown)));
}

// Rows coded out to the padded row (a multiple of 4 bytes), as some
// widely used writers make them: runs of equal pixels, or one literal.
std::vector<uint8_t> PaddedRle(const Bmp& b, bool literal, uint32_t padIndex) {
    const int padded = int((size_t(b.width) * b.bpp + 31) / 32 * 32) / b.bpp;
    std::vector<uint8_t> rle;
    for (int y = b.height - 1; y >= 0; --y) {
        std::vector<uint32_t> row(b.pixels.begin() + long(y) * b.width, b.pixels.begin() + long(y + 1) * b.width);
        row.resize(size_t(padded), padIndex);
        if (literal && padded >= 3) {
            rle.insert(rle.end(), {0, uint8_t(padded)});
            for (int x = 0; x < padded; x += b.bpp == 8 ? 1 : 2)
                rle.push_back(b.bpp == 8 ? uint8_t(row[x]) : uint8_t(row[x] << 4 | row[x + 1]));
            if (rle.size() % 2) rle.push_back(0);
        } else {
            for (int x = 0, n; x < padded; x += n) {
                for (n = 1; x + n < padded && row[x + n] == row[x] && n < 255;) ++n;
                rle.insert(rle.end(), {uint8_t(n), uint8_t(b.bpp == 8 ? row[x] : row[x] * 17)});
            }
        }
        rle.insert(rle.end(), {0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    return rle;
}

TEST(BmpRead, RleRowsPastTheWidthAreClippedAsWindowsDrawsThem) {
    for (int bpp : {8, 4})
        for (int width = 1; width <= 9; ++width)
            for (bool literal : {false, true}) {
                Bmp b = RleBmp(bpp, width, 3, {});
                b.pixels = Pattern(width, 3, 5);
                b.rle = PaddedRle(b, literal, uint32_t(b.palette.size() - 1));
                SCOPED_TRACE(testing::Message() << bpp << " " << width << (literal ? " literal" : " runs"));
                EXPECT_EQ(MaxDifference(Decode(Encode(b)), Expected(b)), 0);
            }
    // Far past the width: the rest of the row's codes, a delta along the
    // edge included, draw nothing, and the row above stays untouched.
    Bmp far = RleBmp(8, 3, 3, {255, 2, 4, 3, 0, 2, 0, 1, 0, 0,  // run of 255, another run, delta up
                               0, 3, 1, 2, 3, 0, 0, 1});        // literal on the top row
    far.pixels = {1, 2, 3, 0, 0, 0, 2, 2, 2};
    EXPECT_EQ(MaxDifference(Decode(Encode(far)), Expected(far)), 0);
}

TEST(BmpRead, RleImageSizeBoundedByCompressedSize) {
    // 1024 pixels per compressed byte; the 4-byte stream allows 4096.
    EXPECT_FALSE(Refused(Encode(RleBmp(8, 64, 64, {0, 0, 0, 1}))));
    EXPECT_TRUE(Refused(Encode(RleBmp(8, 65, 64, {0, 0, 0, 1}))));
    EXPECT_TRUE(Refused(Encode(RleBmp(8, 65500, 65500, {0, 1}))));
}

TEST(BmpRead, SideLimit) {
    for (bool wide : {true, false})
        for (int side : {kMaxImageSide, kMaxImageSide + 1}) {
            Bmp b;
            b.bpp = 1;
            b.width = wide ? side : 1;
            b.height = wide ? -1 : side;
            b.palette = Colours(2);
            b.pixels.assign(size_t(side), 1);
            EXPECT_EQ(Refused(Encode(b)), side > kMaxImageSide) << wide << " " << side;
        }
}

// A good 8-bit 3x2 file and the fields patched to break it, each refused
// for its reason.
TEST(BmpRead, PatchedHeaderFieldsAreRefused) {
    TempFolder folder;
    Bmp b;
    b.bpp = 8;
    b.width = 3;
    b.height = 2;
    b.palette = Colours(4);
    b.colorsUsed = 4;
    b.pixels = {0, 1, 2, 3, 2, 1};
    const std::vector<uint8_t> good = Encode(b);
    ASSERT_FALSE(Refused(good));
    const ImgctlErrorKind no = kImgctlNotAPicture, shortened = kImgctlTruncated, unsupported = kImgctlUnsupported,
                          large = kImgctlTooLarge;
    struct Patch {
        const char* what;
        size_t at;
        int bytes;
        uint32_t value;
        ImgctlErrorKind why;
    } patches[] = {
        {"magic", 0, 2, 'B' | 'A' << 8, no},
        {"file size beyond the file", 2, 4, uint32_t(good.size() + 1), shortened},
        {"offset past the end", 10, 4, uint32_t(good.size()), shortened},
        {"offset inside the palette", 10, 4, 14 + 40 + 15, no},
        {"header size 66", 14, 4, 66, no},
        {"header size 0", 14, 4, 0, no},
        {"width 0", 18, 4, 0, no},
        {"negative width", 18, 4, uint32_t(-3), no},
        {"width past the limit", 18, 4, uint32_t(kMaxImageSide + 1), large},
        {"height 0", 22, 4, 0, no},
        {"height past the limit", 22, 4, uint32_t(kMaxImageSide + 1), large},
        {"top-down past the limit", 22, 4, uint32_t(-kMaxImageSide - 1), large},
        {"most negative height", 22, 4, 0x80000000u, large},
        {"planes 2", 26, 2, 2, no},
        {"bpp 7", 28, 2, 7, unsupported},
        {"bpp 0", 28, 2, 0, unsupported},
        {"bpp 64", 28, 2, 64, unsupported},
        {"RLE4 on 8 bits", 30, 4, 2, unsupported},
        {"bit fields on 8 bits", 30, 4, 3, unsupported},
        {"JPEG", 30, 4, 4, unsupported},
        {"PNG", 30, 4, 5, unsupported},
        {"image size beyond the file", 34, 4, uint32_t(good.size()), shortened},
        {"absurd density", 38, 4, 30000000, no},
        {"palette past the offset", 46, 4, 5, no},
        {"huge palette", 46, 4, 0x12345678, no},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> bad = good;
        for (int i = 0; i < p.bytes; ++i) bad[p.at + i] = uint8_t(p.value >> 8 * i);
        EXPECT_TRUE(Refused(bad)) << p.what;
        EXPECT_EQ(Refusal(folder, bad).kind, p.why) << p.what;
    }
    // Every truncation is refused, even with the file size field to match,
    // as cut at its length (an empty file is no picture at all).
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
        if (n >= 6) Put32(cut, 2, uint32_t(n));
        EXPECT_TRUE(Refused(cut)) << n;
        ImgctlError why = Refusal(folder, cut);
        EXPECT_EQ(why.kind, n == 0 ? kImgctlNotAPicture : kImgctlTruncated) << n;
        EXPECT_EQ(why.byte, n == 0 ? 0 : n) << n;
    }
}

// Each header byte of several layouts set to telling values: any answer
// will do, as long as the sanitizers see nothing.
TEST(BmpRead, CorruptHeadersNeverMisbehave) {
    std::vector<Bmp> layouts(4);
    layouts[0].bpp = 24, layouts[0].width = 3, layouts[0].pixels = Pattern(3, 1, 0xFFFFFF);
    layouts[1].bpp = 4, layouts[1].width = 3, layouts[1].palette = Colours(16), layouts[1].pixels = Pattern(3, 1, 16);
    layouts[2] = RleBmp(8, 4, 2, {4, 1, 0, 2, 1, 1, 0, 3, 1, 2, 3, 0, 0, 1});
    layouts[3].bpp = 16, layouts[3].compression = 3, layouts[3].masks = {0xF800, 0x7E0, 0x1F};
    layouts[3].width = 2, layouts[3].pixels = {0x1234, 0xFFFF};
    for (const Bmp& b : layouts) {
        const std::vector<uint8_t> good = Encode(b);
        for (size_t at = 0; at < 80 && at < good.size(); ++at)
            for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                std::vector<uint8_t> bad = good;
                bad[at] = value;
                Image* image = DecodeCopy(bad);
                if (image) {
                    EXPECT_LE(uint64_t(image->stride) * image->height, bad.size() * 4 * 1024);
                    FreeImage(image);
                }
            }
    }
}

// What ReadBmpForm tells of a file: its form as stored, whether its alpha is
// in use (one pixel not opaque is enough; alpha bytes all zero are none), and
// the depth and size of the BMP the codec restores from its JPEG.
TEST(BmpRead, FormOfTheFileAndOfItsRestoredBmp) {
    const uint32_t red = 0xFF0000, blue = 0xFF, opaque = 0xFF000000, see = 0x80000000;
    struct Case {
        const char* what;
        int headerSize, bpp;
        uint32_t compression;
        int height;  // of 3-pixel rows
        std::vector<uint32_t> palette, masks, pixels;
        std::vector<uint8_t> rle;
        bool alphaInUse;
    } cases[] = {
        {"24 bits", 40, 24, 0, 2, {}, {}, {red, blue, red, blue, red, blue}, {}, false},
        {"top-down", 40, 24, 0, -2, {}, {}, {red, blue, red, blue, red, blue}, {}, false},
        {"1-bit palette", 40, 1, 0, 2, {red, blue}, {}, {0, 1, 0, 1, 1, 0}, {}, false},
        {"grey palette", 12, 8, 0, 2, {0, 0x808080, 0xFFFFFF}, {}, {0, 1, 2, 2, 1, 0}, {}, false},
        {"RLE4", 40, 4, 2, 2, {red, blue}, {}, {}, {3, 0x01, 0, 0, 3, 0x10, 0, 1}, false},
        {"16 bits", 40, 16, 0, 2, {}, {}, {0xFFFF, 0x7C00, 0x1F, 0, 0x8000, 1}, {}, false},
        {"32 bits opaque", 40, 32, 0, 2, {}, {}, {opaque, opaque | red, opaque, opaque, opaque, opaque}, {}, false},
        {"32 bits, alpha all zero", 40, 32, 0, 2, {}, {}, {0, red, blue, 0, red, blue}, {}, false},
        {"32 bits, one see-through", 40, 32, 0, 2, {}, {}, {opaque, opaque, see | red, opaque, opaque, opaque}, {},
         true},
        {"V5 alpha mask", 124, 32, 3, -2, {}, {red, 0xFF00, blue, opaque}, {opaque, opaque, red, opaque, opaque, opaque},
         {}, true},
        {"bit fields, no alpha", 40, 32, 3, 2, {}, {red, 0xFF00, blue}, {0x12000000, 0, 0, 0, 0, 0}, {}, false},
        {"16-bit alpha bit fields", 40, 16, 6, 2, {}, {0x7C00, 0x3E0, 0x1F, 0x8000},
         {0xFFFF, 0x7FFF, 0x8000, 0x8000, 0x8000, 0x8000}, {}, true},
    };
    TempFolder folder;
    const std::string path = folder / "form.bmp", jpg = folder / "form.jpg", restored = folder / "restored.bmp";
    for (const Case& c : cases) {
        Bmp b;
        b.headerSize = c.headerSize;
        b.bpp = c.bpp;
        b.compression = c.compression;
        b.width = 3;
        b.height = c.height;
        b.palette = c.palette;
        b.masks = c.masks;
        b.pixels = c.pixels;
        b.rle = c.rle;
        ASSERT_TRUE(WriteBytes(path, Encode(b)));
        ImageHandle picture = BMPtoDIB(CodecPath(path).c_str());
        ASSERT_EQ(1, DIBtoJPG(CodecPath(jpg).c_str(), picture, 90, 0));
        DeleteDIB(picture);
        ASSERT_EQ(1, JPGtoBMP(CodecPath(restored).c_str(), CodecPath(jpg).c_str()));
        const std::vector<uint8_t> back = ReadBytes(restored);
        BmpForm f;
        ASSERT_TRUE(ReadBmpForm(CodecPath(path).c_str(), &f)) << c.what;
        EXPECT_EQ(std::make_tuple(f.width, f.height, f.bitsPerPixel, f.compression, f.topDown, f.palette, f.alphaInUse,
                                  f.restoredBitsPerPixel, f.restoredBytes),
                  std::make_tuple(3, 2, c.bpp, int(c.compression), c.height < 0, c.bpp <= 8, c.alphaInUse,
                                  int(back[28]), uint64_t(back.size())))
            << c.what;
    }
    Bmp jpegInside;
    jpegInside.compression = 4;
    jpegInside.pixels = {0};
    ASSERT_TRUE(WriteBytes(path, Encode(jpegInside)));
    BmpForm f;
    EXPECT_FALSE(ReadBmpForm(CodecPath(path).c_str(), &f));
    EXPECT_EQ(kImgctlUnsupported, LastImgctlError().kind) << "refused as BMPtoDIB refuses it";
}

#if defined(TOLVANE_BMPSUITE_DIR) && !defined(_WIN32)
Pixels Suite(const std::string& name) { return LoadBmpPixels(std::string(TOLVANE_BMPSUITE_DIR) + "/" + name); }

TEST(BmpRead, ConformanceImages) {
    if (!FileExists(std::string(TOLVANE_BMPSUITE_DIR) + "/g/rgb24.bmp")) {
        // A skip passes; in CI a missing suite must not pass unnoticed.
        const char* ci = getenv("CI");
        if (ci && strcmp(ci, "true") == 0) FAIL() << "BMP suite missing: " << TOLVANE_BMPSUITE_DIR;
        GTEST_SKIP() << "no BMP suite";
    }
    const char* good[] = {"pal1", "pal1bg", "pal1wb", "pal4", "pal4gs", "pal4rle", "pal8-0", "pal8", "pal8gs",
                          "pal8nonsquare", "pal8os2", "pal8rle", "pal8topdown", "pal8v4", "pal8v5", "pal8w124",
                          "pal8w125", "pal8w126", "rgb16-565", "rgb16-565pal", "rgb16", "rgb16bfdef", "rgb24",
                          "rgb24pal", "rgb32", "rgb32bf", "rgb32bfdef"};
    for (const char* name : good) EXPECT_GT(Suite(std::string("g/") + name + ".bmp").width, 0) << name;
    const char* bad[] = {"badbitcount", "badbitssize", "baddens1", "baddens2", "badfilesize", "badheadersize",
                         "badpalettesize", "badplanes", "badrle", "badrle4", "badrle4bis", "badrle4ter",
                         "badrlebis", "badrleter", "badwidth", "pal8badindex", "reallybig", "rgb16-880",
                         "rletopdown", "shortfile"};
    for (const char* name : bad) EXPECT_EQ(Suite(std::string("b/") + name + ".bmp").width, 0) << name;
    EXPECT_EQ(Suite("x/ba-bm.bmp").width, 0);
    // Questionable files: compressions and depths we do not read are refused.
    for (const char* name : {"pal1huffmsb", "rgb24jpeg", "rgb24png", "rgb24rle24", "rgba64"})
        EXPECT_EQ(Suite(std::string("q/") + name + ".bmp").width, 0) << name;

    // Twins: the same picture stored differently.
    const Pixels pal8 = Suite("g/pal8.bmp"), rgb24 = Suite("g/rgb24.bmp");
    for (const char* name : {"g/pal8-0", "g/pal8os2", "g/pal8rle", "g/pal8topdown", "g/pal8v4", "g/pal8v5",
                             "q/pal8offs", "q/pal8os2sp", "q/pal8os2v2", "q/pal8os2v2-16", "q/pal8oversizepal"})
        EXPECT_EQ(MaxDifference(Suite(std::string(name) + ".bmp"), pal8), 0) << name;
    EXPECT_EQ(MaxDifference(Suite("g/pal4rle.bmp"), Suite("g/pal4.bmp")), 0);
    for (const char* name : {"g/rgb24pal", "g/rgb32", "g/rgb32bf", "g/rgb32bfdef", "q/rgb32-xbgr", "q/rgb32h52",
                             "q/rgb24prof", "q/rgb24largepal"})
        EXPECT_EQ(MaxDifference(Suite(std::string(name) + ".bmp"), rgb24), 0) << name;
    for (const char* name : {"g/rgb16", "g/rgb16-565", "g/rgb16bfdef", "q/rgb32-111110", "q/rgba16-5551"})
        EXPECT_LE(MaxDifference(Suite(std::string(name) + ".bmp"), rgb24), 4) << name;  // 5-bit steps
    // Known colours: top-left red, bottom-right (96,96,126); the 1-bit
    // picture in green and blue; a grey palette stays grey.
    EXPECT_EQ(rgb24.At(0, 0)[0], 255);
    EXPECT_EQ(rgb24.At(0, 0)[1] | rgb24.At(0, 0)[2], 0);
    EXPECT_EQ(rgb24.At(126, 63)[0], 96);
    EXPECT_EQ(rgb24.At(126, 63)[2], 126);
    Pixels bg = Suite("g/pal1bg.bmp");
    EXPECT_EQ(bg.At(0, 0)[1], 255);
    EXPECT_EQ(bg.At(126, 63)[2], 255);
    Pixels gs = Suite("g/pal8gs.bmp");
    EXPECT_EQ(gs.channels, 1);
    EXPECT_EQ(gs.At(0, 0)[0], 128);
}
#endif

// More photograph-sized blocks than are kept: those over the limits go back
// to the system, and every block handed out, fresh or kept, holds all the
// bytes asked for (the sanitizers check each one written).
TEST(Blocks, MoreLargeBlocksThanAreKept) {
    const int count = 24;
    // Whole megabytes among them: a block's bookkeeping must not eat into them.
    auto size = [](int i) { return (size_t(6 + i % 4) << 20) + size_t(i / 4) * 4099; };
    for (int round = 0; round < 2; ++round) {
        std::vector<uint8_t*> blocks;
        for (int i = 0; i < count; ++i) {
            blocks.push_back(static_cast<uint8_t*>(TakeBlock(size(i))));
            ASSERT_NE(blocks.back(), nullptr);
            memset(blocks.back(), i + 1, size(i));
        }
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(blocks[i][0], i + 1);
            EXPECT_EQ(blocks[i][size(i) - 1], i + 1);
            GiveBlock(blocks[i]);
        }
    }
}

}  // namespace
