// The in-memory image behind an ImageHandle. Its pixel rows are laid out
// exactly as in a BMP file: bottom-up, rows padded to 4 bytes, BGR for
// colour and one byte per pixel for greyscale, so saving a BMP is a single
// write and a 24-bit BMP file loads without any conversion.
#pragma once
#include <cstddef>
#include <cstdint>

#include "imgctl.h"

struct Image {
    int width;
    int height;
    int channels;       // 3: blue, green, red; 1: grey
    size_t stride;      // bytes per row, a multiple of 4
    uint8_t* bits;      // bottom row first
    void* block;        // the block from TakeBlock that holds bits
};

// Largest image accepted by any reader: what a JPEG can hold per side, and a
// bound on memory.
constexpr int kMaxImageSide = 65500;
constexpr uint64_t kMaxImageBytes = uint64_t(1) << 31;
// A compressed file larger than this cannot hold an image within the limits.
constexpr uint64_t kMaxJpegFileBytes = uint64_t(1) << 30;
constexpr uint64_t kMaxBmpFileBytes = kMaxImageBytes + (uint64_t(1) << 20);
// Opens a file the caller named (OpenInput), noting why when it cannot.
bool OpenSource(struct InputFile* file, const char* path, uint64_t maxBytes);

inline uint8_t* ImageRow(const Image& image, int topDownRow) {
    return image.bits + static_cast<size_t>(image.height - 1 - topDownRow) * image.stride;
}
inline size_t RowStride(int width, int channels) {
    return (static_cast<size_t>(width) * static_cast<size_t>(channels) + 3) & ~static_cast<size_t>(3);
}

// Allocates an image with uninitialised pixels and zero row padding; nullptr
// when the size is out of bounds or memory is short.
Image* NewImage(int width, int height, int channels);
// The same with the padding left for the caller to write with each row:
// nothing of the image is touched yet.
Image* AllocateImage(int width, int height, int channels);
// Wraps pixels that live inside a block from TakeBlock (a BMP file read
// whole); takes ownership of the block.
Image* WrapImage(int width, int height, int channels, uint8_t* bits, void* block);
void FreeImage(Image* image);

// Decoders over bytes in memory. The BMP decoder takes ownership of the
// buffer, a block from TakeBlock (it may become the image's block). Each
// notes why it refused (errors.h).
Image* DecodeJpeg(const uint8_t* data, size_t size);
// The same, reading the file a piece at a time.
Image* DecodeJpegFile(struct InputFile* file);
Image* DecodeBmp(uint8_t* data, size_t size);

// A JPEG decoded a few rows at a time, so that no caller needs the whole
// picture (also the fuzzing entry point).
struct JpegReader;
// Reads the headers and, for a progressive or multi-scan file, every scan,
// from data[0..size) or, when data is null, from file. nullptr when the file
// is damaged or incomplete, or its picture is out of bounds.
JpegReader* OpenJpeg(const uint8_t* data, size_t size, struct InputFile* file, int* width, int* height,
                     int* channels);
// Decodes up to most rows, top row first, into rows[i]: width pixels of BGR
// or grey bytes each (the padding is not written). Returns how many; 0 when
// the file turns out damaged. The call that gives the last row has also
// read the file to its end.
int ReadJpegRows(JpegReader* reader, uint8_t** rows, int most);
void CloseJpeg(JpegReader* reader);

// The headers of the BMP file DIBtoBMP writes for such a picture (room for
// kBmpHeaderRoom bytes); their size, 0 when the picture is too large.
constexpr size_t kBmpHeaderRoom = 14 + 40 + 256 * 4;
uint32_t MakeBmpHeader(uint8_t* header, int width, int height, int channels);
// The size of that BMP file, headers and padded rows.
uint64_t BmpFileBytes(int width, int height, int channels);

// A BMP file whose pixels are plain 24-bit rows, read straight from the file.
struct BmpRows {
    int width;
    int rows;
    bool topDown;     // the file's first row is the top one
    uint64_t offset;  // of the first stored row
    size_t stride;    // bytes per stored row
};
enum { kBmpRefused, kBmpPlain24, kBmpOther };
// Checks a BMP file's headers as DecodeBmp does. head holds the file's first
// have bytes of size. kBmpPlain24 fills rows; kBmpRefused: DecodeBmp would
// refuse the file; kBmpOther: another kind of pixels, or headers reaching
// past head.
int ReadBmpRows(const uint8_t* head, size_t have, uint64_t size, BmpRows* rows);

// Hands a JPEG writer the picture's rows, top row first.
struct RowSource {
    // Points rows[0..) at up to most rows from the top-down row top on;
    // returns how many, 0 when they cannot be had (the save then fails).
    int (*get)(RowSource* self, int top, int most, uint8_t** rows);
};
// Saves width x height pixels of channels bytes each (BGR or grey) as a JPEG,
// as DIBtoJPG does.
int SaveJpegRows(const char* path, int width, int height, int channels, int quality, int progressive, int optimize,
                 JpegChroma chroma, RowSource* source);
