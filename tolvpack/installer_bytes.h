// What a file costs an installer: its bytes after the installer's own
// compression. NSIS's "SetCompressor /SOLID lzma" and Inno Setup compress
// with LZMA (an 8 MiB dictionary); NSIS's default is zlib.
#pragma once
#include <cstddef>
#include <cstdint>

enum Compressor { kCompressLzma, kCompressZlib, kCompressNone };

// The compressed size of size bytes; 0 only for nothing, or when the
// compressor could not run (no memory). Once the output passes
// enoughAbove, the rest is not compressed and the size is the output so
// far, which the whole would only pass: atLeast then says so. A
// photograph's BMP, whose fate is clear after a part of it, costs that
// part of the time.
uint64_t InstallerBytes(const uint8_t* data, size_t size, Compressor compressor, uint64_t enoughAbove = UINT64_MAX,
                        bool* atLeast = nullptr);
// The same for a whole file; false when it cannot be read.
bool InstallerBytesOfFile(const char* path, Compressor compressor, uint64_t* bytes, uint64_t enoughAbove = UINT64_MAX,
                          bool* atLeast = nullptr);
// "lzma", "zlib", "none".
const char* CompressorName(Compressor compressor);
