#include "installer_bytes.h"

#include <lzma.h>
#include <zlib.h>

#include <vector>

#include "blocks.h"
#include "file_io.h"

namespace {

// The output is only counted: one small buffer, written over again and
// again. The input goes in steps, so that the count can stop early.
const size_t kOutRoom = 64 << 10;
const size_t kInStep = 1 << 20;

struct Count {
    uint64_t total = 0;
    bool atLeast = false;
};

Count LzmaBytes(const uint8_t* data, size_t size, uint64_t enoughAbove) {
    Count count;
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6)) return count;  // 8 MiB dictionary, as NSIS and Inno Setup use
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK) return count;
    std::vector<uint8_t> out(kOutRoom);
    size_t given = 0;
    lzma_ret result = LZMA_OK;
    while (result == LZMA_OK) {
        if (stream.avail_in == 0 && given < size) {
            size_t step = size - given < kInStep ? size - given : kInStep;
            stream.next_in = data + given;
            stream.avail_in = step;
            given += step;
        }
        stream.next_out = out.data();
        stream.avail_out = out.size();
        result = lzma_code(&stream, given == size ? LZMA_FINISH : LZMA_RUN);
        count.total += out.size() - stream.avail_out;
        if (result == LZMA_OK && count.total > enoughAbove) {
            count.atLeast = true;
            break;
        }
    }
    lzma_end(&stream);
    if (result != LZMA_OK && result != LZMA_STREAM_END) count.total = 0;
    return count;
}

Count ZlibBytes(const uint8_t* data, size_t size, uint64_t enoughAbove) {
    Count count;
    z_stream stream = {};
    if (deflateInit(&stream, 9) != Z_OK) return count;
    std::vector<uint8_t> out(kOutRoom);
    size_t given = 0;
    int result = Z_OK;
    while (result == Z_OK || result == Z_BUF_ERROR) {
        if (stream.avail_in == 0 && given < size) {
            size_t step = size - given < kInStep ? size - given : kInStep;
            stream.next_in = const_cast<uint8_t*>(data + given);
            stream.avail_in = static_cast<uInt>(step);
            given += step;
        }
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        result = deflate(&stream, given == size ? Z_FINISH : Z_NO_FLUSH);
        count.total += out.size() - stream.avail_out;
        if (result == Z_STREAM_END) break;
        if (count.total > enoughAbove) {
            count.atLeast = true;
            result = Z_STREAM_END;
            break;
        }
    }
    deflateEnd(&stream);
    if (result != Z_STREAM_END) count.total = 0;
    return count;
}

}  // namespace

uint64_t InstallerBytes(const uint8_t* data, size_t size, Compressor compressor, uint64_t enoughAbove,
                        bool* atLeast) {
    Count count;
    if (compressor == kCompressLzma) count = LzmaBytes(data, size, enoughAbove);
    else if (compressor == kCompressZlib) count = ZlibBytes(data, size, enoughAbove);
    else count.total = size;
    if (atLeast) *atLeast = count.atLeast;
    return count.total;
}

bool InstallerBytesOfFile(const char* path, Compressor compressor, uint64_t* bytes, uint64_t enoughAbove,
                          bool* atLeast) {
    uint8_t* data;
    size_t size;
    if (!ReadWholeFile(path, UINT64_MAX, &data, &size)) return false;
    *bytes = InstallerBytes(data, size, compressor, enoughAbove, atLeast);
    GiveBlock(data);
    return true;
}

const char* CompressorName(Compressor compressor) {
    switch (compressor) {
    case kCompressLzma: return "lzma";
    case kCompressZlib: return "zlib";
    case kCompressNone: break;
    }
    return "none";
}
