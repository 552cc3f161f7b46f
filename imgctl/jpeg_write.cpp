// JPEG writing over libjpeg, and the conversions that end in a JPEG. Apart
// from reading (jpeg.cpp), so that a program that only restores pictures
// links none of libjpeg's encoder.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "blocks.h"
#include "errors.h"
#include "file_io.h"
#include "image.h"
#include "imgctl.h"
#include "jpeg_common.h"

namespace {

// The encoded bytes go to a save, or into memory: a block that grows as they
// come.
struct Destination {
    jpeg_destination_mgr manager;
    SaveFile* file;  // null: into memory
    uint8_t* memory;
    size_t used;
    size_t room;
    JOCTET buffer[1 << 16];
};

const size_t kFirstMemoryRoom = size_t(256) << 10;

void PutBytes(j_compress_ptr info, const JOCTET* bytes, size_t size) {
    Destination* d = reinterpret_cast<Destination*>(info->dest);
    if (d->file) {
        SaveBytes(d->file, bytes, size);
        return;
    }
    if (size > d->room - d->used) {
        size_t room = d->room ? d->room : kFirstMemoryRoom;
        while (size > room - d->used) room *= 2;
        uint8_t* grown = static_cast<uint8_t*>(TakeBlock(room));
        if (!grown) ERREXIT1(info, JERR_OUT_OF_MEMORY, 3);
        if (d->used) memcpy(grown, d->memory, d->used);
        GiveBlock(d->memory);
        d->memory = grown;
        d->room = room;
    }
    memcpy(d->memory + d->used, bytes, size);
    d->used += size;
}

void InitDestination(j_compress_ptr info) {
    Destination* d = reinterpret_cast<Destination*>(info->dest);
    d->manager.next_output_byte = d->buffer;
    d->manager.free_in_buffer = sizeof d->buffer;
}
boolean EmptyOutputBuffer(j_compress_ptr info) {
    Destination* d = reinterpret_cast<Destination*>(info->dest);
    PutBytes(info, d->buffer, sizeof d->buffer);
    InitDestination(info);
    return TRUE;
}
void TermDestination(j_compress_ptr info) {
    Destination* d = reinterpret_cast<Destination*>(info->dest);
    PutBytes(info, d->buffer, sizeof d->buffer - d->manager.free_in_buffer);
}

// Another encoder of the same files, set by the program: libjpeg-turbo's
// own when null.
JpegRowsEncoder OtherEncoder = nullptr;

struct Encoder {
    jpeg_compress_struct info;
    ErrorManager errors;
    CoefficientArrays arrays;
    Destination destination;
};

bool EncodeRows(Encoder* e, int width, int height, int channels, int quality, int progressive, int optimize,
                JpegChroma chroma, RowSource* source) {
    j_compress_ptr info = &e->info;
    info->dest = &e->destination.manager;
    info->image_width = static_cast<JDIMENSION>(width);
    info->image_height = static_cast<JDIMENSION>(height);
    info->input_components = channels;
    info->in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(info);  // YCbCr with 4:2:0 sampling for colour
    if (chroma == kChroma444) info->comp_info[0].h_samp_factor = info->comp_info[0].v_samp_factor = 1;
    jpeg_set_quality(info, quality, TRUE);  // baseline-compatible tables
    info->optimize_coding = optimize ? TRUE : FALSE;
    if (progressive) jpeg_simple_progression(info);
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        uint8_t* rows[16];
        int y = static_cast<int>(info->next_scanline);
        int n = source->get(source, y, height - y < 16 ? height - y : 16, rows);
        if (n <= 0) return false;
        jpeg_write_scanlines(info, rows, static_cast<JDIMENSION>(n));
    }
    jpeg_finish_compress(info);
    return true;
}

struct ImageRows {
    RowSource source;
    const Image* image;
};

int RowsOfImage(RowSource* self, int top, int most, uint8_t** rows) {
    const Image& image = *reinterpret_cast<ImageRows*>(self)->image;
    for (int i = 0; i < most; ++i) rows[i] = ImageRow(image, top + i);
    return most;
}

// An encoder writing to file, or into memory when file is null.
Encoder* NewEncoder(SaveFile* file) {
    Encoder* e = new (std::nothrow) Encoder;
    if (!e) {
        NoteFailure(kImgctlTooLarge);
        return nullptr;
    }
    memset(&e->info, 0, sizeof e->info);
    InitErrors(&e->errors);
    e->destination.file = file;
    e->destination.memory = nullptr;
    e->destination.used = e->destination.room = 0;
    e->destination.manager.init_destination = InitDestination;
    e->destination.manager.empty_output_buffer = EmptyOutputBuffer;
    e->destination.manager.term_destination = TermDestination;
    return e;
}

bool Encode(Encoder* e, int width, int height, int channels, int quality, int progressive, int optimize,
            JpegChroma chroma, RowSource* source) {
    if (quality < 1) quality = 1;
    if (quality > 100) quality = 100;
    if (OtherEncoder) {
        JpegSettings settings = {width, height, channels, quality, progressive != 0, optimize != 0, chroma};
        return OtherEncoder(&e->destination.manager, &e->errors, settings, source);
    }
    if (setjmp(e->errors.escape) != 0) {
        jpeg_destroy_compress(&e->info);
        return false;
    }
    e->info.err = &e->errors.manager;
    jpeg_create_compress(&e->info);
    KeepCoefficientsInBlocks(reinterpret_cast<j_common_ptr>(&e->info), &e->arrays);
    bool ok = EncodeRows(e, width, height, channels, quality, progressive != 0, optimize != 0, chroma, source);
    jpeg_destroy_compress(&e->info);
    return ok;
}

}  // namespace

void UseJpegRowsEncoder(JpegRowsEncoder encoder) { OtherEncoder = encoder; }

int SaveJpegRows(const char* path, int width, int height, int channels, int quality, int progressive, int optimize,
                 JpegChroma chroma, RowSource* source) {
    SaveFile file;
    if (!BeginSave(&file, path)) return kImgctlFailed;
    Encoder* e = NewEncoder(&file);
    bool ok = e && Encode(e, width, height, channels, quality, progressive, optimize, chroma, source);
    delete e;
    if (!ok) {
        AbortSave(&file);
        return kImgctlFailed;
    }
    return CommitSave(&file) ? kImgctlSaved : kImgctlFailed;
}

static bool Given(const Image* image) {
    if (!image) NoteSystemError(kImgctlCannotWrite, EINVAL);
    return image != nullptr;
}

int DIBtoJPG(const char* path, ImageHandle handle, int quality, int progressive, int optimize, JpegChroma chroma) {
    StartOperation();
    const Image* image = reinterpret_cast<const Image*>(handle);
    int status = kImgctlFailed;
    if (!path) NoteSystemError(kImgctlCannotWrite, EINVAL);
    if (path && Given(image)) {
        ImageRows rows;
        rows.source.get = RowsOfImage;
        rows.image = image;
        status = SaveJpegRows(path, image->width, image->height, image->channels, quality, progressive, optimize,
                              chroma, &rows.source);
    }
    FinishOperation(status == kImgctlSaved, kImgctlCannotWrite);
    return status;
}

int DIBtoJPGMemory(ImageHandle handle, int quality, int progressive, int optimize, uint8_t** data, size_t* size,
                   JpegChroma chroma) {
    StartOperation();
    const Image* image = reinterpret_cast<const Image*>(handle);
    int status = kImgctlFailed;
    Encoder* e = data && size && Given(image) ? NewEncoder(nullptr) : nullptr;
    if (e) {
        ImageRows rows;
        rows.source.get = RowsOfImage;
        rows.image = image;
        if (Encode(e, image->width, image->height, image->channels, quality, progressive, optimize, chroma,
                   &rows.source)) {
            *data = e->destination.memory;
            *size = e->destination.used;
            status = kImgctlSaved;
        } else {
            GiveBlock(e->destination.memory);
        }
        delete e;
    }
    FinishOperation(status == kImgctlSaved, kImgctlTooLarge);
    return status;
}

void DeleteJPGMemory(uint8_t* data) { GiveBlock(data); }

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

int BMPtoJPG(const char* jpgPath, const char* bmpPath, int quality, int progressive, int optimize,
             JpegChroma chroma) {
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
            status = SaveJpegRows(jpgPath, rows.bmp.width, rows.bmp.rows, 3, quality, progressive, optimize, chroma,
                                  &rows.source);
        }
    }
    GiveBlock(rows.chunk);
    CloseInput(&file);
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
                                  kChroma420, &rows.source);
        else
            NoteFailure(kImgctlTooLarge);
    }
    GiveBlock(rows.rows);
    CloseJpeg(rows.reader);
    CloseInput(&input);
    return Saved(status);
}
