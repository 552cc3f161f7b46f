// JPEG reading over libjpeg, and what writing shares with it (jpeg_common.h).
// libjpeg reports errors by longjmp; that stays inside the codec's JPEG
// files, so callers only ever see a result.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "blocks.h"
#include "errors.h"
#include "file_io.h"
#include "image.h"
#include "imgctl.h"
#include "jpeg_common.h"

namespace {

// Why libjpeg stopped, in the codec's words. Data that ran out is a file cut
// short, whatever libjpeg tripped over next.
void NoteStop(j_common_ptr info) {
    ErrorManager* errors = reinterpret_cast<ErrorManager*>(info->err);
    const jpeg_error_mgr& m = errors->manager;
    switch (m.msg_code) {
        case JERR_NO_SOI: NoteFailure(kImgctlNotAPicture); return;
        case JERR_OUT_OF_MEMORY:
        case JERR_IMAGE_TOO_BIG:
        case JERR_WIDTH_OVERFLOW: NoteFailure(kImgctlTooLarge); return;
        case JERR_BAD_PRECISION: NoteFailure(kImgctlUnsupported, "JPEG: %d-bit samples", m.msg_parm.i[0]); return;
        case JERR_COMPONENT_COUNT: NoteFailure(kImgctlUnsupported, "JPEG: %d components", m.msg_parm.i[0]); return;
        case JERR_SOF_UNSUPPORTED:
            NoteFailure(kImgctlUnsupported, "JPEG: %s", (m.msg_parm.i[0] & 3) == 3 ? "lossless" : "hierarchical");
            return;
        default: break;
    }
    if (!info->is_decompressor) {
        NoteSystemError(kImgctlCannotWrite, EIO);
        return;
    }
    if (errors->endOfData) {
        NoteTruncated(errors->length);
        return;
    }
    char message[JMSG_LENGTH_MAX];
    m.format_message(info, message);
    const char* what = message;
    static const char kCorrupt[] = "Corrupt JPEG data: ";
    if (strncmp(what, kCorrupt, sizeof kCorrupt - 1) == 0) what += sizeof kCorrupt - 1;
    NoteFailure(kImgctlNotAPicture, "JPEG: %s", what);
}

void ExitOnError(j_common_ptr info) {
    NoteStop(info);
    longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}
void KeepQuiet(j_common_ptr) {}

// A file on which libjpeg had to make up pixels (data ending inside the
// picture, corrupt entropy data, resynchronisation) is damaged: it must not
// become a picture with grey or garbled parts. Stopping there also keeps a
// tiny file that claims a huge picture from costing more than the rows it
// really holds. Warnings that change no pixel are what cameras and editors
// commonly write, and every viewer shows those files whole.
void StopOnWarning(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    ErrorManager* errors = reinterpret_cast<ErrorManager*>(info->err);
    switch (errors->manager.msg_code) {
        case JWRN_JFIF_MAJOR:       // a JFIF revision we do not know
        case JWRN_EXTRANEOUS_DATA:  // bytes skipped before a marker, outside any pixel's code
            return;
        case JWRN_JPEG_EOF:
            // Huffman decoding warns again (premature end of data segment)
            // as soon as a missing bit is needed; arithmetic decoding quietly
            // reads zeros, so there an early end cannot be told apart.
            errors->endOfData = true;
            if (!reinterpret_cast<j_decompress_ptr>(info)->arith_code) return;
            break;
        default: break;
    }
    NoteStop(info);
    longjmp(errors->escape, 1);
}

}  // namespace

void InitErrors(ErrorManager* errors) {
    jpeg_std_error(&errors->manager);
    errors->endOfData = false;
    errors->length = 0;
    errors->manager.error_exit = ExitOnError;
    errors->manager.output_message = KeepQuiet;
}

namespace {

// Adobe CMYK as libjpeg stores it (inverted): the same arithmetic as
// libjpeg-turbo's own tools, so the pixels match theirs.
inline uint8_t InkToLight(int ink, int black) {
    return static_cast<uint8_t>(static_cast<double>(ink) * static_cast<double>(black) / 255.0 + 0.5);
}

// libjpeg keeps the coefficients of a whole picture while it decodes a
// progressive or multi-scan file (and while it encodes one): tens of
// megabytes it would take from the system and give back for every file, a
// page fault on each page's first touch. These arrays come from the kept
// blocks instead. libjpeg reaches them only through its memory manager's
// methods, so only those that make, reach and free them are replaced.

// A block holds this many bytes of an array at most: a picture's arrays take
// a few blocks, and a file claiming a huge picture only those its data
// reaches.
const size_t kArrayPieceBytes = size_t(32) << 20;
const size_t kAlign = 32;  // as libjpeg aligns large blocks for its SIMD code

CoefficientArrays* ArraysOf(j_common_ptr info) { return static_cast<CoefficientArrays*>(info->client_data); }

size_t RowBytes(const CoefficientArray* a) { return static_cast<size_t>(a->blocksPerRow) * sizeof(JBLOCK); }
JDIMENSION PieceCount(const CoefficientArray* a) { return (a->rowCount + a->rowsPerPiece - 1) / a->rowsPerPiece; }

jvirt_barray_ptr RequestArray(j_common_ptr info, int pool, boolean, JDIMENSION blocksPerRow, JDIMENSION rowCount,
                              JDIMENSION) {
    if (pool != JPOOL_IMAGE) ERREXIT1(info, JERR_BAD_POOL_ID, pool);
    CoefficientArrays* all = ArraysOf(info);
    CoefficientArray* a =
        static_cast<CoefficientArray*>(all->manager->alloc_small(info, JPOOL_IMAGE, sizeof(CoefficientArray)));
    a->rows = nullptr;
    a->pieces = nullptr;
    a->blocksPerRow = blocksPerRow;
    a->rowCount = rowCount;
    a->reached = 0;
    a->next = all->arrays;
    all->arrays = a;
    return reinterpret_cast<jvirt_barray_ptr>(a);
}

// Only the tables of rows and blocks are made here, small whatever the
// picture; blocks are taken and rows zeroed when the data first reaches
// them (AccessArray), as libjpeg's own memory manager does.
void RealizeArrays(j_common_ptr info) {
    CoefficientArrays* all = ArraysOf(info);
    all->realize(info);
    for (CoefficientArray* a = all->arrays; a; a = a->next) {
        if (a->rows) continue;
        size_t rowBytes = RowBytes(a);
        if (a->rowCount == 0 || rowBytes == 0 || rowBytes > kArrayPieceBytes) ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
        a->rowsPerPiece = static_cast<JDIMENSION>(kArrayPieceBytes / rowBytes);
        if (a->rowsPerPiece > a->rowCount) a->rowsPerPiece = a->rowCount;
        a->rows = static_cast<JBLOCKARRAY>(all->manager->alloc_small(info, JPOOL_IMAGE, a->rowCount * sizeof(JBLOCKROW)));
        a->pieces = static_cast<void**>(all->manager->alloc_small(info, JPOOL_IMAGE, PieceCount(a) * sizeof(void*)));
        memset(a->pieces, 0, PieceCount(a) * sizeof(void*));
    }
}

JBLOCKARRAY AccessArray(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION count, boolean) {
    CoefficientArray* a = reinterpret_cast<CoefficientArray*>(array);
    if (!a->rows || start > a->rowCount || count > a->rowCount - start) ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
    const size_t rowBytes = RowBytes(a);
    // Every row reads as zero until written, as libjpeg's decoder expects.
    for (; a->reached < start + count; ++a->reached) {
        JDIMENSION piece = a->reached / a->rowsPerPiece, first = piece * a->rowsPerPiece;
        if (a->reached == first) {
            JDIMENSION rows = a->rowCount - first < a->rowsPerPiece ? a->rowCount - first : a->rowsPerPiece;
            a->pieces[piece] = TakeBlock(rows * rowBytes + kAlign);
            if (!a->pieces[piece]) ERREXIT1(info, JERR_OUT_OF_MEMORY, 2);
        }
        uint8_t* at = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(a->pieces[piece]) + kAlign - 1) & ~(kAlign - 1));
        a->rows[a->reached] = reinterpret_cast<JBLOCKROW>(at + (a->reached - first) * rowBytes);
        memset(a->rows[a->reached], 0, rowBytes);
    }
    return a->rows + start;
}

void GiveArraysBack(CoefficientArrays* all) {
    for (CoefficientArray* a = all->arrays; a; a = a->next)
        if (a->pieces)
            for (JDIMENSION p = 0; p < PieceCount(a); ++p) GiveBlock(a->pieces[p]);
    all->arrays = nullptr;  // the records themselves go with libjpeg's image pool
}

void FreePool(j_common_ptr info, int pool) {
    CoefficientArrays* all = ArraysOf(info);
    if (pool == JPOOL_IMAGE) GiveArraysBack(all);
    all->freePool(info, pool);
}

void DestroyMemory(j_common_ptr info) {
    CoefficientArrays* all = ArraysOf(info);
    GiveArraysBack(all);
    all->destroy(info);
}

}  // namespace

void KeepCoefficientsInBlocks(j_common_ptr info, CoefficientArrays* all) {
    jpeg_memory_mgr* m = info->mem;
    all->manager = m;
    all->realize = m->realize_virt_arrays;
    all->freePool = m->free_pool;
    all->destroy = m->self_destruct;
    all->arrays = nullptr;
    info->client_data = all;
    m->request_virt_barray = RequestArray;
    m->realize_virt_arrays = RealizeArrays;
    m->access_virt_barray = AccessArray;
    m->free_pool = FreePool;
    m->self_destruct = DestroyMemory;
}

namespace {

// libjpeg reads the file a piece at a time: the compressed file never needs
// a block of its own, nor the page faults of one.
const size_t kSourceBufferSize = size_t(256) << 10;

struct FileSource {
    jpeg_source_mgr manager;
    InputFile* file;
    JOCTET* buffer;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
    FileSource* s = reinterpret_cast<FileSource*>(info->src);
    size_t got = ReadInput(s->file, s->buffer, kSourceBufferSize);
    if (got == 0) {
        // As libjpeg's own sources do: warn, then end the data with an
        // end-of-image marker.
        static const JOCTET end[2] = {0xFF, JPEG_EOI};
        WARNMS(info, JWRN_JPEG_EOF);
        s->manager.next_input_byte = end;
        s->manager.bytes_in_buffer = sizeof end;
        return TRUE;
    }
    s->manager.next_input_byte = s->buffer;
    s->manager.bytes_in_buffer = got;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    jpeg_source_mgr* src = info->src;
    if (count <= 0) return;
    while (static_cast<size_t>(count) > src->bytes_in_buffer) {
        count -= static_cast<long>(src->bytes_in_buffer);
        FillInput(info);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

// Scans a file may have. Cameras and editors write at most a few dozen
// (libjpeg's own progressive script has 10); each scan visits every block
// of its components, so without a bound a few megabytes of near-empty scans
// over a large picture could keep a worker busy for minutes.
const int kMaxScans = 100;

}  // namespace

struct JpegReader {
    jpeg_decompress_struct info;  // first: libjpeg's callbacks find the reader from it
    ErrorManager errors;
    CoefficientArrays arrays;
    jpeg_progress_mgr progress;
    unsigned coded;  // components some scan has held, one bit each
    FileSource source;
    bool cmyk;
    int width;
    JSAMPLE* cmykRow;
};

namespace {

// Called by libjpeg before each step of its input, and so at the start of
// every scan.
void WatchScans(j_common_ptr common) {
    JpegReader* r = reinterpret_cast<JpegReader*>(common);
    if (r->info.input_scan_number > kMaxScans) {
        NoteFailure(kImgctlUnsupported, "JPEG: more than %d scans", kMaxScans);
        longjmp(r->errors.escape, 1);
    }
    for (int i = 0; i < r->info.comps_in_scan; ++i) r->coded |= 1u << r->info.cur_comp_info[i]->component_index;
}

// libjpeg gives a component no scan coded (or a progressive component whose
// DC never came) as flat grey: a picture made up, not read. A file may stop
// refining early, but with its end marker. Data that ends without that
// marker is whole only if it shows every scan arrived: a single scan decodes
// its rows from the data alone (a missing bit stops it), a progressive file
// must have refined every coefficient to its last bit, and sequential scans
// per component give no way to tell.
bool WholeFile(JpegReader* r) {
    j_decompress_ptr info = &r->info;
    if (!jpeg_has_multiple_scans(info)) return true;  // its one scan holds every component
    if (!info->progressive_mode) return !r->errors.endOfData && r->coded == (1u << info->num_components) - 1;
    for (int c = 0; c < info->num_components; ++c) {
        if (info->coef_bits[c][0] < 0) return false;
        if (r->errors.endOfData)
            for (int k = 0; k < DCTSIZE2; ++k)
                if (info->coef_bits[c][k] != 0) return false;
    }
    return true;
}

// Separate from the setjmp frame so that nothing it changes needs volatile.
bool StartReading(JpegReader* r, int* width, int* height, int* channels) {
    j_decompress_ptr info = &r->info;
    jpeg_read_header(info, TRUE);
    if (info->image_width > static_cast<JDIMENSION>(kMaxImageSide) ||
        info->image_height > static_cast<JDIMENSION>(kMaxImageSide)) {
        NoteFailure(kImgctlTooLarge);
        return false;
    }
    r->cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    *channels = 3;
    if (info->jpeg_color_space == JCS_GRAYSCALE) {
        info->out_color_space = JCS_GRAYSCALE;
        *channels = 1;
    } else if (r->cmyk) {
        info->out_color_space = JCS_CMYK;
    } else {
        info->out_color_space = JCS_EXT_BGR;
    }
    *width = static_cast<int>(info->image_width);
    *height = static_cast<int>(info->image_height);
    r->width = *width;
    if (static_cast<uint64_t>(RowStride(*width, *channels)) * static_cast<uint64_t>(*height) > kMaxImageBytes) {
        NoteFailure(kImgctlTooLarge);
        return false;
    }
    if (r->cmyk) {
        r->cmykRow = static_cast<JSAMPLE*>(malloc(static_cast<size_t>(*width) * 4));
        if (!r->cmykRow) {
            NoteFailure(kImgctlTooLarge);
            return false;
        }
    }
    jpeg_start_decompress(info);  // reads every scan of a multi-scan file
    if (WholeFile(r)) return true;
    if (r->errors.endOfData)
        NoteTruncated(r->errors.length);
    else
        NoteFailure(kImgctlNotAPicture, "JPEG: a component without its data");
    return false;
}

void InitFileSource(FileSource* source, InputFile* file) {
    source->file = file;
    source->manager.next_input_byte = nullptr;
    source->manager.bytes_in_buffer = 0;
    source->manager.init_source = InitSource;
    source->manager.fill_input_buffer = FillInput;
    source->manager.skip_input_data = SkipInput;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = TermSource;
}

}  // namespace

JpegReader* OpenJpeg(const uint8_t* data, size_t size, InputFile* file, int* width, int* height, int* channels) {
    if (!file && (!data || size == 0 || size > 0xFFFFFFFFu)) {
        NoteFailure(size == 0 ? kImgctlNotAPicture : kImgctlTooLarge);
        return nullptr;
    }
    JpegReader* r = static_cast<JpegReader*>(malloc(sizeof(JpegReader)));
    if (!r) {
        NoteFailure(kImgctlTooLarge);
        return nullptr;
    }
    memset(&r->info, 0, sizeof r->info);
    InitErrors(&r->errors);
    r->errors.length = file ? file->size : size;
    r->errors.manager.emit_message = StopOnWarning;
    r->progress.progress_monitor = WatchScans;
    r->coded = 0;
    r->cmykRow = nullptr;
    r->source.buffer = nullptr;
    if (file) {
        InitFileSource(&r->source, file);
        r->source.buffer = static_cast<JOCTET*>(TakeBlock(kSourceBufferSize));
        if (!r->source.buffer) {
            NoteFailure(kImgctlTooLarge);
            free(r);
            return nullptr;
        }
    }
    bool ok = false;
    if (setjmp(r->errors.escape) == 0) {
        r->info.err = &r->errors.manager;
        jpeg_create_decompress(&r->info);
        KeepCoefficientsInBlocks(reinterpret_cast<j_common_ptr>(&r->info), &r->arrays);
        r->info.progress = &r->progress;
        if (file)
            r->info.src = &r->source.manager;
        else
            jpeg_mem_src(&r->info, data, static_cast<unsigned long>(size));
        ok = StartReading(r, width, height, channels);
    }
    if (!ok) {
        CloseJpeg(r);
        return nullptr;
    }
    return r;
}

int ReadJpegRows(JpegReader* r, uint8_t** rows, int most) {
    j_decompress_ptr info = &r->info;
    const int left = static_cast<int>(info->output_height - info->output_scanline);
    if (most > left) most = left;
    if (most <= 0) return 0;
    if (setjmp(r->errors.escape) != 0) return 0;
    int n = 0;
    if (r->cmyk) {
        for (; n < most; ++n) {
            JSAMPROW ink = r->cmykRow;
            if (jpeg_read_scanlines(info, &ink, 1) != 1) return 0;
            uint8_t* out = rows[n];
            for (int x = 0; x < r->width; ++x, out += 3, ink += 4) {
                out[0] = InkToLight(ink[2], ink[3]);
                out[1] = InkToLight(ink[1], ink[3]);
                out[2] = InkToLight(ink[0], ink[3]);
            }
        }
    } else {
        n = static_cast<int>(jpeg_read_scanlines(info, rows, static_cast<JDIMENSION>(most)));
    }
    if (n > 0 && info->output_scanline == info->output_height) jpeg_finish_decompress(info);
    return n;
}

void CloseJpeg(JpegReader* r) {
    if (!r) return;
    jpeg_destroy_decompress(&r->info);
    free(r->cmykRow);
    GiveBlock(r->source.buffer);
    free(r);
}

// The whole picture in memory, for the image handle. Row padding is written
// with its row, so a picture that turns out damaged has touched only the
// rows its data reached.
static Image* DecodeToImage(const uint8_t* data, size_t size, InputFile* file) {
    int width, height, channels;
    JpegReader* reader = OpenJpeg(data, size, file, &width, &height, &channels);
    if (!reader) return nullptr;
    Image* image = AllocateImage(width, height, channels);
    const size_t used = static_cast<size_t>(width) * static_cast<size_t>(channels);
    bool ok = image != nullptr;
    if (!ok) NoteFailure(kImgctlTooLarge);
    for (int y = 0; ok && y < height;) {
        uint8_t* rows[16];
        int n = 0;
        for (; n < 16 && y + n < height; ++n) {
            rows[n] = ImageRow(*image, y + n);
            memset(rows[n] + used, 0, image->stride - used);
        }
        n = ReadJpegRows(reader, rows, n);
        ok = n > 0;
        y += n;
    }
    CloseJpeg(reader);
    if (!ok) {
        FreeImage(image);
        return nullptr;
    }
    return image;
}

Image* DecodeJpeg(const uint8_t* data, size_t size) { return DecodeToImage(data, size, nullptr); }

Image* DecodeJpegFile(InputFile* file) { return DecodeToImage(nullptr, 0, file); }
