// JPEG reading from any bytes: a result or nothing, never a crash or leak;
// reading the same bytes from a file a piece at a time gives the same rows.
// Rows go to a small buffer, as the streamed conversions take them, so an
// input costs what its data holds, whatever its header claims.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "file_io.h"
#include "image.h"

// Pixels decoded per input at most: a larger picture runs the same code
// more slowly, and the run would try fewer inputs.
static const uint64_t kMaxPixels = uint64_t(1) << 20;

// An arithmetic-coded file can describe a huge flat picture completely in a
// few hundred bytes, and then costs what that picture does: such inputs are
// skipped, as libjpeg-turbo's own fuzzers skip large pictures.
// Every frame header counts: libjpeg may take a later one.
static bool LargeArithmeticPicture(const uint8_t* data, size_t size) {
    for (size_t at = 2; at + 9 <= size; ++at)
        if (data[at] == 0xFF && data[at + 1] >= 0xC9 && data[at + 1] <= 0xCF && data[at + 1] != 0xCC &&
            uint64_t(data[at + 5] << 8 | data[at + 6]) * uint64_t(data[at + 7] << 8 | data[at + 8]) > kMaxPixels)
            return true;
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || LargeArithmeticPicture(data, size)) return 0;
    int fd = memfd_create("jpeg", 0);
    if (fd < 0) __builtin_trap();
    for (size_t at = 0; at < size;) {
        ssize_t put = write(fd, data + at, size - at);
        if (put <= 0) __builtin_trap();
        at += static_cast<size_t>(put);
    }
    char path[64];
    snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    InputFile file;
    if (!OpenInput(&file, path, uint64_t(1) << 30)) __builtin_trap();
    int width = 0, height = 0, channels = 0, w2 = 0, h2 = 0, c2 = 0;
    JpegReader* memory = OpenJpeg(data, size, nullptr, &width, &height, &channels);
    JpegReader* piecewise = OpenJpeg(nullptr, 0, &file, &w2, &h2, &c2);
    if ((memory == nullptr) != (piecewise == nullptr)) __builtin_trap();
    unsigned sum = 0;
    if (memory) {
        if (width != w2 || height != h2 || channels != c2) __builtin_trap();
        const size_t rowBytes = size_t(width) * size_t(channels);
        std::vector<uint8_t> a(rowBytes * 16), b(rowBytes * 16);
        for (uint64_t y = 0; y < uint64_t(height) && y * uint64_t(width) < kMaxPixels;) {
            uint8_t* rowsA[16];
            uint8_t* rowsB[16];
            for (int i = 0; i < 16; ++i) rowsA[i] = &a[i * rowBytes], rowsB[i] = &b[i * rowBytes];
            int n = ReadJpegRows(memory, rowsA, 16);
            if (n != ReadJpegRows(piecewise, rowsB, 16)) __builtin_trap();
            if (n == 0) break;
            if (memcmp(a.data(), b.data(), rowBytes * size_t(n)) != 0) __builtin_trap();
            sum += a[rowBytes * size_t(n) - 1];
            y += uint64_t(n);
        }
    }
    CloseJpeg(memory);
    CloseJpeg(piecewise);
    CloseInput(&file);
    close(fd);
    return sum == 0xFFFFFFFF;
}
