// The operations of the codec over Image: load, save, convert, free. Each
// notes why it failed (errors.h).
#include "imgctl.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "blocks.h"
#include "errors.h"
#include "file_io.h"
#include "image.h"

// A compressed file larger than this cannot hold an image within the limits.
static const uint64_t kMaxJpegFileBytes = uint64_t(1) << 30;
static const uint64_t kMaxBmpFileBytes = kMaxImageBytes + (uint64_t(1) << 20);

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

// A path the caller did not give: nothing to open or to write.
static bool Given(const char* path, ImgctlErrorKind kind) {
    if (!path) NoteSystemError(kind, EINVAL);
    return path != nullptr;
}

static bool OpenSource(InputFile* file, const char* path, uint64_t maxBytes) {
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

ImageHandle BMPtoDIB(const char* path) {
    StartOperation();
    uint8_t* data;
    size_t size;
    Image* image = nullptr;
    if (Given(path, kImgctlCannotOpen) && ReadWholeFile(path, kMaxBmpFileBytes, &data, &size))
        image = DecodeBmp(data, size);
    return Loaded(image);
}

// A save's status, its reason noted when there is none.
static int Saved(int status) {
    FinishOperation(status != kImgctlFailed, kImgctlCannotWrite);
    return status;
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
            return 0;  // the file shrank or could not be read
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

int BMPtoJPG(const char* jpgPath, const char* bmpPath, int quality, int progressive, int optimize) {
    StartOperation();
    InputFile file;
    if (!Given(jpgPath, kImgctlCannotWrite) || !OpenSource(&file, bmpPath, kMaxBmpFileBytes))
        return Saved(kImgctlFailed);
    const uint64_t size = file.size;
    FileRows rows;
    rows.source.get = RowsOfFile;
    rows.file = &file;
    rows.first = 0;
    rows.count = 0;
    size_t have = size < kHeadBytes ? size_t(size) : kHeadBytes;
    rows.chunk = static_cast<uint8_t*>(TakeBlock(kChunkBytes));
    int status = kImgctlFailed;
    if (!rows.chunk) NoteFailure(kImgctlTooLarge);
    if (rows.chunk && ReadInputAt(&file, 0, rows.chunk, have)) {
        int kind = ReadBmpRows(rows.chunk, have, size, &rows.bmp);
        if (kind == kBmpOther) status = kBmpNotStreamed;
        if (kind == kBmpPlain24) {
            size_t fit = kChunkBytes / rows.bmp.stride;
            rows.chunkRows = int(fit < size_t(rows.bmp.rows) ? fit : size_t(rows.bmp.rows));
            status = SaveJpegRows(jpgPath, rows.bmp.width, rows.bmp.rows, 3, quality, progressive, optimize,
                                  &rows.source);
        }
    }
    GiveBlock(rows.chunk);
    CloseInput(&file);
    return Saved(status);
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

namespace {
struct DecodedRows {
    RowSource source;
    JpegReader* reader;
    InputFile* input;
    uint8_t* rows;  // 16 rows of the picture, unpadded
    size_t rowBytes;
    int height;
};

int RowsOfJpeg(RowSource* self, int top, int most, uint8_t** rows) {
    DecodedRows* d = reinterpret_cast<DecodedRows*>(self);
    if (most > 16) most = 16;
    for (int i = 0; i < most; ++i) rows[i] = d->rows + size_t(i) * d->rowBytes;
    int n = ReadJpegRows(d->reader, rows, most);
    if (n > 0 && top + n == d->height) CloseInput(d->input);  // read to its end; the target may be the same file
    return n;
}
}  // namespace

int JPGtoJPG(const char* targetPath, const char* sourcePath, int quality, int progressive, int optimize) {
    StartOperation();
    InputFile input;
    if (!Given(targetPath, kImgctlCannotWrite) || !OpenSource(&input, sourcePath, kMaxJpegFileBytes))
        return Saved(kImgctlFailed);
    DecodedRows rows;
    int width, channels;
    rows.source.get = RowsOfJpeg;
    rows.input = &input;
    rows.rows = nullptr;
    rows.reader = OpenJpeg(nullptr, 0, &input, &width, &rows.height, &channels);
    int status = kImgctlFailed;
    if (rows.reader) {
        rows.rowBytes = size_t(width) * size_t(channels);
        rows.rows = static_cast<uint8_t*>(TakeBlock(16 * rows.rowBytes));
        if (rows.rows)
            status = SaveJpegRows(targetPath, width, rows.height, channels, quality, progressive, optimize,
                                  &rows.source);
        else
            NoteFailure(kImgctlTooLarge);
    }
    GiveBlock(rows.rows);
    CloseJpeg(rows.reader);
    CloseInput(&input);
    return Saved(status);
}

void DeleteDIB(ImageHandle image) { FreeImage(reinterpret_cast<Image*>(image)); }
