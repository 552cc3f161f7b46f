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

// Rows come from the file a chunk at a time, top row first: a bottom-up file
// stores the top row last, so its chunks are read from the end backwards.
const size_t kChunkBytes = size_t(256) << 10;
const size_t kHeadBytes = size_t(64) << 10;
static_assert(kChunkBytes >= size_t(kMaxImageSide) * 3 + 3, "a chunk holds at least one row");

namespace {
struct FileRows {
    RowSource source;
    InputFile* file;
    BmpRows bmp;
    uint8_t* chunk;
    int chunkRows;  // rows the chunk holds
    int first;      // top-down row of the chunk's top row
    int count;      // rows in the chunk now
};

int RowsOfFile(RowSource* self, int top, int most, uint8_t** rows) {
    FileRows* f = reinterpret_cast<FileRows*>(self);
    if (top < f->first || top >= f->first + f->count) {
        int n = f->bmp.rows - top < f->chunkRows ? f->bmp.rows - top : f->chunkRows;
        int stored = f->bmp.topDown ? top : f->bmp.rows - top - n;  // the file's first row of them
        if (!ReadInputAt(f->file, f->bmp.offset + uint64_t(stored) * f->bmp.stride, f->chunk, n * f->bmp.stride))
            return 0;
        f->first = top;
        f->count = n;
    }
    int n = f->first + f->count - top < most ? f->first + f->count - top : most;
    for (int i = 0; i < n; ++i) {
        int at = f->bmp.topDown ? top + i - f->first : f->first + f->count - 1 - (top + i);
        rows[i] = f->chunk + size_t(at) * f->bmp.stride;
    }
    return n;
}
}  // namespace

int BMPtoJPG(const char* jpgPath, const char* bmpPath, int quality, int progressive) {
    InputFile file;
    if (!jpgPath || !bmpPath || !OpenInput(&file, bmpPath, kMaxBmpFileBytes)) return kImgctlFailed;
    const uint64_t size = file.left;
    FileRows rows;
    rows.source.get = RowsOfFile;
    rows.file = &file;
    rows.first = 0;
    rows.count = 0;
    size_t have = size < kHeadBytes ? size_t(size) : kHeadBytes;
    rows.chunk = static_cast<uint8_t*>(TakeBlock(kChunkBytes));
    int status = kImgctlFailed;
    if (rows.chunk && ReadInputAt(&file, 0, rows.chunk, have)) {
        int kind = ReadBmpRows(rows.chunk, have, size, &rows.bmp);
        if (kind == kBmpOther) status = kBmpNotStreamed;
        if (kind == kBmpPlain24) {
            size_t fit = kChunkBytes / rows.bmp.stride;
            rows.chunkRows = int(fit < size_t(rows.bmp.rows) ? fit : size_t(rows.bmp.rows));
            status = SaveJpegRows(jpgPath, rows.bmp.width, rows.bmp.rows, 3, quality, progressive, &rows.source);
        }
    }
    GiveBlock(rows.chunk);
    CloseInput(&file);
    return status;
}

void DeleteDIB(ImageHandle image) { FreeImage(reinterpret_cast<Image*>(image)); }
