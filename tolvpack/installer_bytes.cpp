#include "installer_bytes.h"

#include <lzma.h>
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "file_system.h"

namespace {

// The output is only counted: one small buffer, written over again and again.
const size_t kOutRoom = 64 << 10;

uint64_t LzmaBytes(const uint8_t* data, size_t size) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6)) return 0;  // 8 MiB dictionary, as NSIS and Inno Setup use
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK) return 0;
    std::vector<uint8_t> out(kOutRoom);
    stream.next_in = data;
    stream.avail_in = size;
    uint64_t total = 0;
    lzma_ret result;
    do {
        stream.next_out = out.data();
        stream.avail_out = out.size();
        result = lzma_code(&stream, LZMA_FINISH);
        total += out.size() - stream.avail_out;
    } while (result == LZMA_OK);
    lzma_end(&stream);
    return result == LZMA_STREAM_END ? total : 0;
}

uint64_t ZlibBytes(const uint8_t* data, size_t size) {
    z_stream stream = {};
    if (deflateInit(&stream, 9) != Z_OK) return 0;
    std::vector<uint8_t> out(kOutRoom);
    uint64_t total = 0;
    int result = Z_OK;
    const size_t kInStep = size_t(1) << 30;  // avail_in is 32 bits
    size_t at = 0;
    do {
        size_t step = size - at < kInStep ? size - at : kInStep;
        stream.next_in = const_cast<uint8_t*>(data + at);
        stream.avail_in = static_cast<uInt>(step);
        at += step;
        int flush = at == size ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            result = deflate(&stream, flush);
            total += out.size() - stream.avail_out;
        } while (stream.avail_out == 0 && result != Z_STREAM_ERROR);
    } while (at < size && result != Z_STREAM_ERROR);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? total : 0;
}

}  // namespace

uint64_t InstallerBytes(const uint8_t* data, size_t size, Compressor compressor) {
    switch (compressor) {
    case kCompressLzma: return LzmaBytes(data, size);
    case kCompressZlib: return ZlibBytes(data, size);
    case kCompressNone: break;
    }
    return size;
}

bool InstallerBytesOfFile(const char* path, Compressor compressor, uint64_t* bytes) {
    FILE* file = OpenFile(path, "rb");
    if (!file) return false;
    std::vector<uint8_t> data;
    uint8_t chunk[64 << 10];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
    bool read = !ferror(file);
    fclose(file);
    if (read) *bytes = InstallerBytes(data.data(), data.size(), compressor);
    return read;
}

const char* CompressorName(Compressor compressor) {
    switch (compressor) {
    case kCompressLzma: return "lzma";
    case kCompressZlib: return "zlib";
    case kCompressNone: break;
    }
    return "none";
}
