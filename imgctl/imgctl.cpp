// The operations of the codec over Image: load, save, convert, free. Each
// notes why it failed (errors.h).
#include "imgctl.h"

#include <cstdlib>
#include <cstring>

#include "blocks.h"
#include "errors.h"
#include "file_io.h"
#include "image.h"

Image* AllocateImage(int width, int height, int channels) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
    size_t stride = RowStride(width, channels);
    uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (bytes > kMaxImageBytes) return nullptr;
    void* block = TakeBlock(static_cast<size_t>(bytes));
    if (!block) return nullptr;
    Image* image = WrapImage(width, height, channels, static_cast<uint8_t*>(block), block);
    if (!image) GiveBlock(block);
    return image;
}

Image* NewImage(int width, int height, int channels) {
    Image* image = AllocateImage(width, height, channels);
    if (!image) return nullptr;
    size_t stride = image->stride;
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

bool OpenSource(InputFile* file, const char* path, uint64_t maxBytes) {
    return Given(path, kImgctlCannotOpen) && OpenInput(file, path, maxBytes);
}

// A load's handle, its reason noted when there is none.
static ImageHandle Loaded(Image* image) {
    FinishOperation(image != nullptr, kImgctlNotAPicture);
    return reinterpret_cast<ImageHandle>(image);
}

ImageHandle JPGtoDIB(const char* path) {
    StartOperation();
    InputFile file;
    Image* image = nullptr;
    if (OpenSource(&file, path, kMaxJpegFileBytes)) {
        image = DecodeJpegFile(&file);
        CloseInput(&file);
    }
    return Loaded(image);
}

ImageHandle JPGMemorytoDIB(const uint8_t* data, size_t size) {
    StartOperation();
    Image* image = nullptr;
    if (!data || size == 0)
        NoteFailure(kImgctlNotAPicture);
    else if (size > kMaxJpegFileBytes)
        NoteFailure(kImgctlTooLarge);
    else
        image = DecodeJpeg(data, size);
    return Loaded(image);
}

// Rows are decoded a band at a time into a block laid out as the BMP file
// stores them, bottom row first, and each band is written at its place in
// the file: the top band at the file's end, the bottom one last. A band
// holds at least one row of the widest picture.
const size_t kBandBytes = size_t(1) << 20;
static_assert(kBandBytes >= size_t(kMaxImageSide) * 3 + 3, "a band holds at least one row");

static int SaveBmpBands(const char* path, JpegReader* reader, InputFile* input, int width, int height, int channels) {
    uint8_t header[kBmpHeaderRoom];
    const uint32_t offset = MakeBmpHeader(header, width, height, channels);
    if (offset == 0) {
        NoteFailure(kImgctlTooLarge);
        return kImgctlFailed;
    }
    const size_t stride = RowStride(width, channels), used = size_t(width) * size_t(channels);
    const int bandRows = kBandBytes / stride < size_t(height) ? int(kBandBytes / stride) : height;
    uint8_t* band = static_cast<uint8_t*>(TakeBlock(size_t(bandRows) * stride));
    if (!band) NoteFailure(kImgctlTooLarge);
    SaveFile file;
    if (!band || !BeginSave(&file, path)) {
        GiveBlock(band);
        return kImgctlFailed;
    }
    SaveBytes(&file, header, offset);
    bool ok = true;
    for (int top = 0; ok && top < height;) {
        const int n = height - top < bandRows ? height - top : bandRows;
        for (int done = 0; ok && done < n;) {
            uint8_t* rows[16];
            int k = 0;
            for (; k < 16 && done + k < n; ++k) {
                rows[k] = band + size_t(n - 1 - done - k) * stride;
                memset(rows[k] + used, 0, stride - used);
            }
            k = ReadJpegRows(reader, rows, k);
            ok = k > 0;
            done += k;
        }
        if (ok) SaveBytesAt(&file, offset + uint64_t(height - top - n) * stride, band, size_t(n) * stride);
        top += n;
    }
    GiveBlock(band);
    CloseInput(input);  // read to its end; the target may be the same file
    if (!ok) {
        AbortSave(&file);
        return kImgctlFailed;
    }
    return CommitSave(&file) ? kImgctlSaved : kImgctlFailed;
}

int JPGtoBMP(const char* bmpPath, const char* jpgPath) {
    StartOperation();
    InputFile input;
    if (!Given(bmpPath, kImgctlCannotWrite) || !OpenSource(&input, jpgPath, kMaxJpegFileBytes))
        return Saved(kImgctlFailed);
    int width, height, channels;
    JpegReader* reader = OpenJpeg(nullptr, 0, &input, &width, &height, &channels);
    int status = reader ? SaveBmpBands(bmpPath, reader, &input, width, height, channels) : kImgctlFailed;
    CloseJpeg(reader);
    CloseInput(&input);
    return Saved(status);
}

void DeleteDIB(ImageHandle image) { FreeImage(reinterpret_cast<Image*>(image)); }
