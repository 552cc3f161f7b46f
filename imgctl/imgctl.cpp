// The five operations of the codec over Image: load, save, free.
#include "imgctl.h"

#include <cstdlib>
#include <cstring>

#include "blocks.h"
#include "file_io.h"
#include "image.h"

// A compressed file larger than this cannot hold an image within the limits.
static const uint64_t kMaxJpegFileBytes = uint64_t(1) << 30;
static const uint64_t kMaxBmpFileBytes = kMaxImageBytes + (uint64_t(1) << 20);

Image* NewImage(int width, int height, int channels) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
    size_t stride = RowStride(width, channels);
    uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (bytes > kMaxImageBytes) return nullptr;
    void* block = TakeBlock(static_cast<size_t>(bytes));
    if (!block) return nullptr;
    Image* image = WrapImage(width, height, channels, static_cast<uint8_t*>(block), block);
    if (!image) {
        GiveBlock(block);
        return nullptr;
    }
    // Row padding is written to BMP files as it stands: keep it zero.
    size_t used = static_cast<size_t>(width) * static_cast<size_t>(channels);
    if (used != stride)
        for (int y = 0; y < height; ++y) memset(image->bits + y * stride + used, 0, stride - used);
    return image;
}

Image* WrapImage(int width, int height, int channels, uint8_t* bits, void* block) {
    Image* image = static_cast<Image*>(malloc(sizeof(Image)));
    if (!image) return nullptr;
    image->width = width;
    image->height = height;
    image->channels = channels;
    image->stride = RowStride(width, channels);
    image->bits = bits;
    image->block = block;
    return image;
}

void FreeImage(Image* image) {
    if (!image) return;
    GiveBlock(image->block);
    free(image);
}

ImageHandle JPGtoDIB(const char* path) {
    InputFile file;
    if (!path || !OpenInput(&file, path, kMaxJpegFileBytes)) return 0;
    Image* image = DecodeJpegFile(&file);
    CloseInput(&file);
    return reinterpret_cast<ImageHandle>(image);
}

ImageHandle BMPtoDIB(const char* path) {
    uint8_t* data;
    size_t size;
    if (!path || !ReadWholeFile(path, kMaxBmpFileBytes, &data, &size)) return 0;
    return reinterpret_cast<ImageHandle>(DecodeBmp(data, size));
}

void DeleteDIB(ImageHandle image) { FreeImage(reinterpret_cast<Image*>(image)); }
