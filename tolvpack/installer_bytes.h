// What a file costs an installer: its bytes after the installer's own
// compression. NSIS's "SetCompressor /SOLID lzma" and Inno Setup compress
// with LZMA (an 8 MiB dictionary); NSIS's default is zlib.
#pragma once
#include <cstddef>
#include <cstdint>

enum Compressor { kCompressLzma, kCompressZlib, kCompressNone };

// The compressed size of size bytes; 0 only for nothing, or when the
// compressor could not run (no memory).
uint64_t InstallerBytes(const uint8_t* data, size_t size, Compressor compressor);
// The same for a whole file; false when it cannot be read.
bool InstallerBytesOfFile(const char* path, Compressor compressor, uint64_t* bytes);
// "lzma", "zlib", "none".
const char* CompressorName(Compressor compressor);
