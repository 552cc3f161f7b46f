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
// optimize: Huffman tables made for the picture (cjpeg's -optimize), the same
// pixels in fewer bytes; the encoder then holds the whole picture's
// coefficients, as it does for progressive files, which always have them.
int DIBtoJPG(const char* path, ImageHandle image, int quality, int progressive, int optimize = 0);
void DeleteDIB(ImageHandle image);
// BMPtoDIB and DIBtoJPG in one, reading the rows of an uncompressed 24-bit
// BMP straight from the file, a few at a time. kBmpNotStreamed for other
// BMP files, which are then for BMPtoDIB and DIBtoJPG.
enum { kBmpNotStreamed = -1 };
int BMPtoJPG(const char* jpgPath, const char* bmpPath, int quality, int progressive, int optimize = 0);
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
int DIBtoJPGMemory(ImageHandle image, int quality, int progressive, int optimize, uint8_t** data, size_t* size);
void DeleteJPGMemory(uint8_t* data);
ImageHandle JPGMemorytoDIB(const uint8_t* data, size_t size);

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
