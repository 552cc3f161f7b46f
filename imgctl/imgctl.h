// imgctl: the image codec. Loads JPEG and BMP files into in-memory images
// (device-independent bitmaps), saves them as BMP or JPEG, and frees them.
// Paths are 8-bit strings in the system's code page.
#pragma once
#include <cstdint>

typedef uintptr_t ImageHandle;  // 0: no image

// Status of a save: 1 when the whole file was written, 0 when nothing was
// (the target is then left exactly as it was).
enum { kImgctlFailed = 0, kImgctlSaved = 1 };

ImageHandle JPGtoDIB(const char* path);
ImageHandle BMPtoDIB(const char* path);
int DIBtoBMP(const char* path, ImageHandle image);
int DIBtoJPG(const char* path, ImageHandle image, int quality, int progressive);
void DeleteDIB(ImageHandle image);
// BMPtoDIB and DIBtoJPG in one, reading the rows of an uncompressed 24-bit
// BMP straight from the file, a few at a time. kBmpNotStreamed for other
// BMP files, which are then for BMPtoDIB and DIBtoJPG.
enum { kBmpNotStreamed = -1 };
int BMPtoJPG(const char* jpgPath, const char* bmpPath, int quality, int progressive);
// JPGtoDIB and DIBtoBMP in one, writing each band of decoded rows at its
// place in the BMP file: the whole picture is never held. The same bytes.
int JPGtoBMP(const char* bmpPath, const char* jpgPath);
// JPGtoDIB and DIBtoJPG in one, handing the decoder's rows straight to the
// encoder. The same bytes.
int JPGtoJPG(const char* targetPath, const char* sourcePath, int quality, int progressive);

// Program-wide: whether every save has its data written through to the disk
// before it replaces its target, for a program that deletes the only other
// copy of a picture once it is saved. Off by default.
void SetDurableSaves(bool durable);
