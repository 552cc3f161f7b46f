// BMP reading: OS/2 1.x and 2.x headers, BITMAPINFOHEADER and its 52, 56,
// V4 and V5 extensions; 1, 2, 4 and 8-bit palettes (plain, RLE8, RLE4),
// 16 and 32-bit pixels with channel masks, 24-bit pixels. Every header field
// is checked before a pixel is touched; any doubt refuses the file, and the
// refusal says why (errors.h).
//
// Decisions:
// - Output is BGR, except palette images whose every palette entry is grey
//   (R = G = B): those become one-channel grey, so our own 8-bit grey files
//   load back as grey. Decided from the palette alone, before any pixel.
// - Pixels an RLE stream skips (delta, end of line, early end of bitmap)
//   take the colour of palette entry 0, as a DIB filled with index 0 would.
// - Every pixel drawn must name an entry of the palette, whatever the path
//   (plain, grey in place, RLE): an index past the entries the file holds
//   refuses the file, or its colour would be whatever memory held.
// - RLE runs and literals that reach past the width are clipped at the row's
//   end, as Windows draws them; the rest of the row's codes then fall
//   outside too, until the end of line. Indexes are only checked where they
//   are drawn.
// - An RLE image may have at most kRlePixelsPerByte pixels per byte of
//   compressed data: runs give at most 127.5 pixels a byte, and the rest
//   of the margin lets blank rows be skipped by escapes; beyond that a tiny
//   file could make us allocate gigabytes.
// - 24-bit files and 8-bit grey files decode in place: the file block
//   becomes the image.
#include <cstdlib>
#include <cstring>

#include "blocks.h"
#include "errors.h"
#include "file_io.h"
#include "image.h"

namespace {

// Refusals, each noting its reason; they return what the caller returns.
bool Refuse(ImgctlErrorKind kind) {
    NoteFailure(kind);
    return false;
}
bool Damaged(const char* what) {
    NoteFailure(kImgctlNotAPicture, "BMP: %s", what);
    return false;
}
bool CutShort(uint64_t size) {
    NoteTruncated(size);
    return false;
}
Image* TooLarge() {
    NoteFailure(kImgctlTooLarge);
    return nullptr;
}
// A pixel naming no entry of the palette; what was decoded goes.
Image* PastPalette(Image* image) {
    FreeImage(image);
    Damaged("a colour index past the palette");
    return nullptr;
}

const uint32_t kRlePixelsPerByte = 1024;
// Pixels per metre beyond any scanner or printer (about 254000 dpi): a
// corrupt header.
const uint32_t kMaxDensity = 10000000;

uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

enum Compression { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

struct Palette {
    uint32_t count;
    uint8_t bgr[256][3];
    bool grey;
};

// One colour channel of a 16 or 32-bit pixel, scaled to 0..255 with rounding.
struct Channel {
    uint32_t mask;
    int shift;
    int bits;
    uint8_t table[4096];  // values of channels up to 12 bits

    bool Set(uint32_t m) {
        mask = m;
        if (!m) return false;  // a channel that is always zero: not a colour image
        shift = 0;
        while (!((m >> shift) & 1)) ++shift;
        uint64_t run = uint64_t(m) >> shift;
        if (run & (run + 1)) return false;  // holes in the mask
        bits = 0;
        while (run >> bits) ++bits;
        if (bits <= 12) {
            uint32_t max = (1u << bits) - 1;
            for (uint32_t v = 0; v <= max; ++v) table[v] = uint8_t((v * 255 + max / 2) / max);
        }
        return true;
    }
    uint8_t Of(uint32_t pixel) const {
        uint32_t v = (pixel & mask) >> shift;
        if (bits <= 12) return table[v];
        uint64_t max = (uint64_t(1) << bits) - 1;
        return uint8_t((uint64_t(v) * 255 + max / 2) / max);
    }
};

struct Layout {
    int width;
    int rows;
    bool topDown;
    int bpp;
    uint32_t compression;
    uint32_t offset;
    uint64_t stride;  // bytes per row in the file (uncompressed)
    uint32_t alpha;   // mask of a 16 or 32-bit pixel's alpha; 0: none
};

// The image row that the file's n-th stored row becomes.
uint8_t* OutRow(const Image& image, const Layout& l, int n) {
    return l.topDown ? ImageRow(image, n) : image.bits + static_cast<size_t>(n) * image.stride;
}

void ZeroPaddingAndFlip(uint8_t* bits, const Layout& l, size_t used) {
    const size_t stride = static_cast<size_t>(l.stride);
    for (int y = 0; y < l.rows; ++y) memset(bits + y * stride + used, 0, stride - used);
    if (!l.topDown) return;
    uint8_t swap[1024];
    for (int top = 0, bottom = l.rows - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = bits + top * stride;
        uint8_t* b = bits + bottom * stride;
        for (size_t at = 0; at < stride; at += sizeof swap) {
            size_t n = stride - at < sizeof swap ? stride - at : sizeof swap;
            memcpy(swap, a + at, n);
            memcpy(a + at, b + at, n);
            memcpy(b + at, swap, n);
        }
    }
}

void PutIndex(uint8_t* row, int x, int channels, const Palette& pal, uint32_t index) {
    if (channels == 1) {
        row[x] = pal.bgr[index][0];
    } else {
        memcpy(row + 3 * x, pal.bgr[index], 3);
    }
}

Image* DecodePalette(const uint8_t* data, const Layout& l, const Palette& pal) {
    const int channels = pal.grey ? 1 : 3;
    Image* image = NewImage(l.width, l.rows, channels);
    if (!image) return TooLarge();
    const uint32_t mask = (1u << l.bpp) - 1;
    for (int y = 0; y < l.rows; ++y) {
        const uint8_t* in = data + l.offset + y * l.stride;
        uint8_t* out = OutRow(*image, l, y);
        for (int x = 0; x < l.width; ++x) {
            uint32_t bit = uint32_t(x) * uint32_t(l.bpp);
            uint32_t index = (in[bit >> 3] >> (8 - l.bpp - (bit & 7))) & mask;
            if (index >= pal.count) return PastPalette(image);
            PutIndex(out, x, channels, pal, index);
        }
    }
    return image;
}

Image* DecodeMasked(const uint8_t* data, const Layout& l, const Channel* rgb) {
    Image* image = NewImage(l.width, l.rows, 3);
    if (!image) return TooLarge();
    const bool plain32 = l.bpp == 32 && rgb[0].mask == 0xFF0000 && rgb[1].mask == 0xFF00 && rgb[2].mask == 0xFF;
    for (int y = 0; y < l.rows; ++y) {
        const uint8_t* in = data + l.offset + y * l.stride;
        uint8_t* out = OutRow(*image, l, y);
        for (int x = 0; x < l.width; ++x, out += 3) {
            if (plain32) {
                memcpy(out, in + 4 * x, 3);
                continue;
            }
            uint32_t pixel = l.bpp == 16 ? Get16(in + 2 * x) : Get32(in + 4 * x);
            out[0] = rgb[2].Of(pixel);
            out[1] = rgb[1].Of(pixel);
            out[2] = rgb[0].Of(pixel);
        }
    }
    return image;
}

Image* DecodeRle(const uint8_t* data, size_t size, const Layout& l, const Palette& pal) {
    const uint64_t compressed = size - l.offset;
    if (uint64_t(l.width) * uint64_t(l.rows) > compressed * kRlePixelsPerByte)
        return TooLarge();  // more than its data can describe
    const int channels = pal.grey ? 1 : 3;
    Image* image = NewImage(l.width, l.rows, channels);
    if (!image) return TooLarge();
    for (int y = 0; y < l.rows; ++y)
        for (int x = 0; x < l.width; ++x) PutIndex(image->bits + y * image->stride, x, channels, pal, 0);

    const bool rle4 = l.compression == kRle4;
    const uint8_t* p = data + l.offset;
    const uint8_t* end = data + size;
    int x = 0, y = 0;
    for (;;) {
        if (end - p < 2) {  // data ends without end of bitmap
            CutShort(size);
            break;
        }
        const uint32_t n = p[0], value = p[1];
        p += 2;
        if (n == 0 && value == 1) return image;  // end of bitmap
        if (n == 0 && value == 0) {              // end of line
            x = 0;
            if (++y > l.rows) {
                Damaged("pixels above the top row");
                break;
            }
            continue;
        }
        if (n == 0 && value == 2) {  // delta
            if (end - p < 2) {
                CutShort(size);
                break;
            }
            x += p[0];
            y += p[1];
            p += 2;
            if (x > l.width || y > l.rows) {
                Damaged("a jump outside the picture");
                break;
            }
            continue;
        }
        // A run (n pixels of one value) or literal pixels (value of them).
        const bool literal = n == 0;
        const uint32_t count = literal ? value : n;
        size_t bytes = 0;
        if (literal) {
            bytes = rle4 ? (count + 1) / 2 : count;
            bytes += bytes & 1;  // literals end on a 16-bit boundary
            if (size_t(end - p) < bytes) {
                CutShort(size);
                break;
            }
        }
        if (y >= l.rows) {
            Damaged("pixels above the top row");
            break;
        }
        // Writers that encode the row's padding run past the width: like
        // Windows, draw what falls inside the row and drop the rest.
        const uint32_t shown = count < uint32_t(l.width - x) ? count : uint32_t(l.width - x);
        uint8_t* row = image->bits + y * image->stride;
        for (uint32_t i = 0; i < shown; ++i) {
            uint32_t byte = literal ? p[rle4 ? i / 2 : i] : value;
            uint32_t index = !rle4 ? byte : (i & 1) ? byte & 15 : byte >> 4;
            if (index >= pal.count) return PastPalette(image);
            PutIndex(row, x + int(i), channels, pal, index);
        }
        x += int(shown);
        p += bytes;
    }
    FreeImage(image);
    return nullptr;
}

// Every check of the headers and the palette, before any pixel. data holds
// the file's first bytes: the whole file, or at least everything before the
// pixels and no fewer than 14 + 124 + 16 bytes (the longest header and its
// masks, read before the pixel offset is checked); size is the file's.
// An unsupported layout, by name.
bool RefuseLayout(uint32_t bpp, uint32_t compression, bool os2v2, bool topDown) {
    static const char* const kNames[] = {"plain", "RLE8", "RLE4", "bit fields", "JPEG", "PNG", "alpha bit fields"};
    if (os2v2 && (compression == 3 || compression == 4))
        NoteFailure(kImgctlUnsupported, "BMP: OS/2 %s compression", compression == 3 ? "Huffman" : "RLE24");
    else if ((compression == kRle8 || compression == kRle4) && topDown)
        NoteFailure(kImgctlUnsupported, "BMP: top-down RLE");
    else if (compression == 4 || compression == 5)
        NoteFailure(kImgctlUnsupported, "BMP: %s compression", kNames[compression]);
    else if (compression > kAlphaBitFields)
        NoteFailure(kImgctlUnsupported, "BMP: compression %u", compression);
    else if (compression == kRgb)
        NoteFailure(kImgctlUnsupported, "BMP: %u bits per pixel", bpp);
    else
        NoteFailure(kImgctlUnsupported, "BMP: %u bits per pixel with %s", bpp, kNames[compression]);
    return false;
}

bool ReadLayout(const uint8_t* data, uint64_t size, Layout* out, Palette* outPal, Channel* rgb) {
    const bool magic = size >= 2 ? data[0] == 'B' && data[1] == 'M' : size == 1 && data[0] == 'B';
    if (!magic) return Refuse(kImgctlNotAPicture);
    if (size < 14 + 4) return CutShort(size);
    const uint32_t headerSize = Get32(data + 14);
    const bool core = headerSize == 12;
    const bool os2v2 = headerSize == 16 || headerSize == 64;
    const bool windows = headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
                         headerSize == 124;
    if (!core && !os2v2 && !windows) return Refuse(kImgctlNotAPicture);  // "BM" and then no BMP header
    if (14 + uint64_t(headerSize) > size) return CutShort(size);
    const uint32_t offset = Get32(data + 10);
    const uint8_t* h = data + 14;

    int64_t width, height;
    uint32_t planes, bpp, compression = kRgb, sizeImage = 0, colorsUsed = 0;
    if (core) {
        width = Get16(h + 4);
        height = Get16(h + 6);
        planes = Get16(h + 8);
        bpp = Get16(h + 10);
    } else {
        width = int32_t(Get32(h + 4));
        height = int32_t(Get32(h + 8));
        planes = Get16(h + 12);
        bpp = Get16(h + 14);
        if (headerSize >= 40) {
            compression = Get32(h + 16);
            sizeImage = Get32(h + 20);
            if (Get32(h + 24) > kMaxDensity || Get32(h + 28) > kMaxDensity) return Damaged("an impossible density");
            colorsUsed = Get32(h + 32);
        }
    }
    if (planes != 1) return Damaged("planes other than one");
    const bool topDown = height < 0;
    const int64_t rows = topDown ? -height : height;
    if (width <= 0 || rows == 0) return Damaged("an impossible width or height");
    if (width > kMaxImageSide || rows > kMaxImageSide) return Refuse(kImgctlTooLarge);
    if (Get32(data + 2) > size) return CutShort(size);  // the file's own size field says so

    // Formats we read; OS/2 2.x compression 3 and 4 mean Huffman and RLE24.
    bool known;
    switch (compression) {
        case kRgb:
            known = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || (!core && bpp == 2) ||
                    (windows && (bpp == 16 || bpp == 32));
            break;
        case kRle8: known = windows && bpp == 8 && !topDown; break;
        case kRle4: known = windows && bpp == 4 && !topDown; break;
        case kBitFields:
        case kAlphaBitFields: known = windows && (bpp == 16 || bpp == 32); break;
        default: known = false;
    }
    if (!known) return RefuseLayout(bpp, compression, os2v2, topDown);
    if (sizeImage && uint64_t(offset) + sizeImage > size) return CutShort(size);  // claims more than the file holds

    uint32_t maskBytes = 0;
    uint32_t alpha = 0;
    if (bpp == 16 || bpp == 32) {
        uint32_t masks[3];
        if (compression == kRgb) {
            masks[0] = bpp == 16 ? 0x7C00 : 0xFF0000;
            masks[1] = bpp == 16 ? 0x03E0 : 0xFF00;
            masks[2] = bpp == 16 ? 0x001F : 0xFF;
            alpha = bpp == 32 ? 0xFF000000 : 0;  // the byte left over, where writers put alpha
        } else {
            const uint8_t* at = h + 40;  // after a 40-byte header, or inside a longer one
            if (headerSize == 40) {
                maskBytes = compression == kBitFields ? 12 : 16;
                if (14 + 40 + uint64_t(maskBytes) > size) return CutShort(size);
            }
            for (int i = 0; i < 3; ++i) masks[i] = Get32(at + 4 * i);
            if (headerSize >= 56 || maskBytes == 16) alpha = Get32(at + 12);
        }
        const uint32_t all = bpp == 16 ? 0xFFFF : 0xFFFFFFFF;
        alpha &= all & ~(masks[0] | masks[1] | masks[2]);
        bool fine = !((masks[0] | masks[1] | masks[2]) & ~all);  // no mask wider than the pixel
        fine = fine && !(masks[0] & masks[1]) && !(masks[0] & masks[2]) && !(masks[1] & masks[2]);
        for (int i = 0; fine && i < 3; ++i) fine = rgb[i].Set(masks[i]);
        if (!fine) return Damaged("impossible colour masks");
    }

    // Colour table: 3 bytes an entry for OS/2 1.x, 4 otherwise. A count
    // the header states must fit before the pixels; without one, the room
    // before the pixels (up to 2^bpp entries) is the palette.
    const uint64_t paletteAt = 14 + uint64_t(headerSize) + maskBytes;
    if (offset < paletteAt) return Damaged("pixels inside the header");
    if (offset >= size) return CutShort(size);
    const uint32_t entrySize = core ? 3 : 4;
    const uint64_t room = (offset - paletteAt) / entrySize;
    if (colorsUsed > room) return Damaged("a palette larger than its room");
    Palette& pal = *outPal;
    pal.count = 0;
    pal.grey = false;
    if (bpp <= 8) {
        const uint32_t most = 1u << bpp;
        uint64_t count = colorsUsed ? colorsUsed : room;
        pal.count = count < most ? uint32_t(count) : most;
        if (pal.count == 0) return Damaged("no palette");
        pal.grey = true;
        for (uint32_t i = 0; i < pal.count; ++i) {
            const uint8_t* e = data + paletteAt + i * entrySize;
            memcpy(pal.bgr[i], e, 3);
            if (e[0] != e[1] || e[1] != e[2]) pal.grey = false;
        }
    }

    Layout& l = *out;
    l.width = int(width);
    l.rows = int(rows);
    l.topDown = topDown;
    l.bpp = int(bpp);
    l.compression = compression;
    l.offset = offset;
    l.stride = (uint64_t(width) * bpp + 31) / 32 * 4;
    l.alpha = alpha;
    return true;
}

// Uncompressed pixels: all rows in the file, within the memory bound.
bool PixelsFit(const Layout& l, uint64_t size) {
    const uint64_t bytes = l.stride * uint64_t(l.rows);
    if (bytes > kMaxImageBytes) return Refuse(kImgctlTooLarge);
    if (bytes > size - l.offset) return CutShort(size);
    return true;
}

Image* Decode(uint8_t* data, size_t size) {
    Layout l;
    Palette pal;
    Channel rgb[3];
    if (!ReadLayout(data, size, &l, &pal, rgb)) return nullptr;
    const int64_t width = l.width;
    const uint32_t bpp = uint32_t(l.bpp);
    const uint32_t offset = l.offset;
    if (l.compression == kRle8 || l.compression == kRle4) return DecodeRle(data, size, l, pal);
    if (!PixelsFit(l, size)) return nullptr;  // truncated pixel data, or too large

    uint8_t* bits = data + offset;
    Image* image = nullptr;
    if (bpp == 24) {
        ZeroPaddingAndFlip(bits, l, size_t(width) * 3);
        image = WrapImage(l.width, l.rows, 3, bits, data);
        return image ? image : TooLarge();
    }
    if (bpp == 8 && pal.grey) {
        for (int y = 0; y < l.rows; ++y) {
            uint8_t* row = bits + y * l.stride;
            for (int x = 0; x < l.width; ++x) {
                if (row[x] >= pal.count) return PastPalette(nullptr);
                row[x] = pal.bgr[row[x]][0];
            }
        }
        ZeroPaddingAndFlip(bits, l, size_t(width));
        image = WrapImage(l.width, l.rows, 1, bits, data);
        return image ? image : TooLarge();
    }
    if (bpp <= 8) return DecodePalette(data, l, pal);
    return DecodeMasked(data, l, rgb);
}

}  // namespace

int ReadBmpRows(const uint8_t* head, size_t have, uint64_t size, BmpRows* rows) {
    if (have < size && (have < 14 + 124 + 16 || Get32(head + 10) > have)) return kBmpOther;
    Layout l;
    Palette pal;
    Channel rgb[3];
    if (!ReadLayout(head, size, &l, &pal, rgb)) return kBmpRefused;
    if (l.bpp != 24 || l.compression != kRgb) return kBmpOther;
    if (!PixelsFit(l, size)) return kBmpRefused;
    rows->width = l.width;
    rows->rows = l.rows;
    rows->topDown = l.topDown;
    rows->offset = l.offset;
    rows->stride = size_t(l.stride);
    return kBmpPlain24;
}

Image* DecodeBmp(uint8_t* data, size_t size) {
    Image* image = nullptr;
    if (data)
        image = Decode(data, size);
    else
        NoteFailure(kImgctlNotAPicture);
    if (!image || image->block != data) GiveBlock(data);
    return image;
}

// Here, not with the other loads (imgctl.cpp): a program that loads no BMP
// links none of the reader.
ImageHandle BMPtoDIB(const char* path) {
    StartOperation();
    uint8_t* data;
    size_t size;
    Image* image = nullptr;
    if (Given(path, kImgctlCannotOpen) && ReadWholeFile(path, kMaxBmpFileBytes, &data, &size))
        image = DecodeBmp(data, size);
    FinishOperation(image != nullptr, kImgctlNotAPicture);
    return reinterpret_cast<ImageHandle>(image);
}

// The form of a BMP file for ReadBmpForm. The headers are checked from the
// file's first bytes: ReadLayout reads nothing past the longest header, its
// masks and 256 palette entries, wherever the pixels start.
namespace {

const size_t kFormHeadBytes = 14 + 124 + 16 + 256 * 4;
const size_t kFormChunkBytes = size_t(256) << 10;
static_assert(kFormChunkBytes >= size_t(kMaxImageSide) * 4, "a chunk holds at least one row");

// Whether some pixel's alpha is below opaque while not every alpha is zero.
// False when the rows cannot be read.
bool ScanAlpha(InputFile* file, const Layout& l, bool* inUse) {
    uint8_t* chunk = static_cast<uint8_t*>(TakeBlock(kFormChunkBytes));
    if (!chunk) return Refuse(kImgctlTooLarge);
    const int rowsPerChunk = int(kFormChunkBytes / l.stride);
    bool seeThrough = false, nonZero = false, ok = true;
    for (int y = 0; ok && y < l.rows && !(seeThrough && nonZero); y += rowsPerChunk) {
        const int n = l.rows - y < rowsPerChunk ? l.rows - y : rowsPerChunk;
        ok = ReadInputAt(file, l.offset + uint64_t(y) * l.stride, chunk, size_t(n) * size_t(l.stride));
        for (int r = 0; ok && r < n; ++r) {
            const uint8_t* row = chunk + size_t(r) * size_t(l.stride);
            for (int x = 0; x < l.width; ++x) {
                const uint32_t a = (l.bpp == 16 ? Get16(row + 2 * x) : Get32(row + 4 * x)) & l.alpha;
                seeThrough = seeThrough || a != l.alpha;
                nonZero = nonZero || a != 0;
            }
        }
    }
    GiveBlock(chunk);
    *inUse = seeThrough && nonZero;
    return ok;
}

bool FormOfFile(InputFile* file, BmpForm* form) {
    uint8_t head[kFormHeadBytes];
    const size_t have = file->size < sizeof head ? size_t(file->size) : sizeof head;
    Layout l;
    Palette pal;
    Channel rgb[3];
    if (!ReadInputAt(file, 0, head, have) || !ReadLayout(head, file->size, &l, &pal, rgb)) return false;
    if (l.compression != kRle8 && l.compression != kRle4 && !PixelsFit(l, file->size)) return false;
    form->width = l.width;
    form->height = l.rows;
    form->bitsPerPixel = l.bpp;
    form->compression = int(l.compression);
    form->topDown = l.topDown;
    form->palette = l.bpp <= 8;
    // A grey palette decodes to grey, which the JPEG and the restored BMP keep.
    const int channels = pal.grey ? 1 : 3;
    form->restoredBitsPerPixel = 8 * channels;
    form->restoredBytes = BmpFileBytes(l.width, l.rows, channels);
    form->alphaInUse = false;
    return l.alpha == 0 || ScanAlpha(file, l, &form->alphaInUse);
}

}  // namespace

bool ReadBmpForm(const char* path, BmpForm* form) {
    StartOperation();
    InputFile file;
    bool ok = false;
    if (form && OpenSource(&file, path, kMaxBmpFileBytes)) {
        ok = FormOfFile(&file, form);
        CloseInput(&file);
    }
    FinishOperation(ok, kImgctlNotAPicture);
    return ok;
}
