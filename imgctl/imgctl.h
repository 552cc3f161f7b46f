// imgctl: the image codec. Loads JPEG and BMP files into in-memory images
// (device-independent bitmaps), saves them as BMP or JPEG, and frees them.
// Paths are UTF-8; on Windows the file layer converts them at its edge.
#pragma once
#include <cstddef>
#include <cstdint>

typedef uintptr_t ImageHandle;  // 0: no image

// Status of a save: 1 when the whole file was written, 0 when nothing was
// (the target is then left exactly as it was).
enum { kImgctlFailed = 0, kImgctlSaved = 1 };

ImageHandle JPGtoDIB(const char* path);
ImageHandle BMPtoDIB(const char* path);
int DIBtoBMP(const char* path, ImageHandle image);
// How much of a colour picture's colour a JPEG keeps. kChroma420: one colour
// for each 2x2 pixels, what cameras write and the smallest files;
// kChroma444: every pixel's own, for icons and text whose coloured edges
// would otherwise bleed. Grey pictures have no colour to keep.
enum JpegChroma { kChroma420 = 0, kChroma444 = 1 };
// optimize: Huffman tables made for the picture (cjpeg's -optimize), the same
// pixels in fewer bytes; the encoder then holds the whole picture's
// coefficients, as it does for progressive files, which always have them.
int DIBtoJPG(const char* path, ImageHandle image, int quality, int progressive, int optimize = 0,
             JpegChroma chroma = kChroma420);
void DeleteDIB(ImageHandle image);
// BMPtoDIB and DIBtoJPG in one, reading the rows of an uncompressed 24-bit
// BMP straight from the file, a few at a time. kBmpNotStreamed for other
// BMP files, which are then for BMPtoDIB and DIBtoJPG.
enum { kBmpNotStreamed = -1 };
int BMPtoJPG(const char* jpgPath, const char* bmpPath, int quality, int progressive, int optimize = 0,
             JpegChroma chroma = kChroma420);
// JPGtoDIB and DIBtoBMP in one, writing each band of decoded rows at its
// place in the BMP file: the whole picture is never held. The same bytes.
int JPGtoBMP(const char* bmpPath, const char* jpgPath);
// JPGtoDIB and DIBtoJPG in one, handing the decoder's rows straight to the
// encoder. The same bytes.
int JPGtoJPG(const char* targetPath, const char* sourcePath, int quality, int progressive, int optimize = 0);

// The same without a file, for trying settings: DIBtoJPGMemory gives the
// bytes DIBtoJPG would write, in a block for DeleteJPGMemory (kImgctlSaved,
// or kImgctlFailed and nothing); JPGMemorytoDIB decodes such bytes as
// JPGtoDIB decodes a file.
int DIBtoJPGMemory(ImageHandle image, int quality, int progressive, int optimize, uint8_t** data, size_t* size,
                   JpegChroma chroma = kChroma420);
void DeleteJPGMemory(uint8_t* data);
ImageHandle JPGMemorytoDIB(const uint8_t* data, size_t size);

// What a BMP file is, beside its picture, for telling its author how the BMP
// restored from its JPEG will differ, or that it must not become a JPEG.
struct BmpForm {
    int width;
    int height;
    int bitsPerPixel;  // as stored: 1, 2, 4, 8, 16, 24 or 32
    int compression;   // as stored: 0 none, 1 RLE8, 2 RLE4, 3 bit fields, 6 bit fields with alpha
    bool topDown;      // the top row stored first
    bool palette;      // pixels are palette indexes
    // Some pixel is not fully opaque: a 32-bit file's top byte, or the alpha
    // mask that bit fields or a V4/V5 header declare. Alpha bytes all zero
    // are not in use: viewers show such files opaque.
    bool alphaInUse;
    // The BMP the restorer writes from the JPEG: bottom-up, 24 bits, or 8
    // bits with a grey palette when every palette entry is grey (the JPEG is
    // then grey); its size in bytes.
    int restoredBitsPerPixel;
    uint64_t restoredBytes;
};
// Reads the headers, and the pixels only when they have an alpha channel.
// False, with the reason, when the file cannot be read or BMPtoDIB would
// refuse its headers or find its pixels cut short.
bool ReadBmpForm(const char* path, BmpForm* form);

// Program-wide: whether every save has its data written through to the disk
// before it replaces its target, for a program that deletes the only other
// copy of a picture once it is saved. Off by default.
void SetDurableSaves(bool durable);

// Why a load or save failed.
enum ImgctlErrorKind {
    kImgctlNoError = 0,
    kImgctlCannotOpen,
    kImgctlNotAPicture,
    kImgctlTruncated,
    kImgctlUnsupported,
    kImgctlTooLarge,
    kImgctlCannotWrite
};
struct ImgctlError {
    ImgctlErrorKind kind;
    uint64_t byte;    // kImgctlTruncated: the file's length, where its data stops short
    int systemError;  // kImgctlCannotOpen / kImgctlCannotWrite: an errno value (Windows errors mapped to one)
    // kImgctlUnsupported: which kind, e.g. "BMP: 64 bits per pixel";
    // kImgctlNotAPicture: what is damaged in a file that starts as a BMP or
    // JPEG, e.g. "BMP: a colour index past the palette". May be empty.
    char detail[64];
};
// The reason the last load or save on this thread failed; kImgctlNoError
// after one that worked. The same file gives the same reason on any thread.
ImgctlError LastImgctlError();
// One line for a person: "not a BMP or JPEG picture", "damaged BMP: a colour
// index past the palette", "truncated at byte 1234", "unsupported BMP: 64
// bits per pixel", "too large", "cannot open: No such file or directory",
// "cannot write: Permission denied" (the same words on Linux and Windows).
void DescribeImgctlError(const ImgctlError& error, char* text, size_t size);
