// JPEG reading from any bytes: a result or nothing, never a crash or leak;
// reading the same bytes from a file a piece at a time gives the same result.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "file_io.h"
#include "image.h"

static Image* DecodeThroughFile(const uint8_t* data, size_t size) {
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
    Image* image = nullptr;
    if (OpenInput(&file, path, uint64_t(1) << 30)) {
        image = DecodeJpegFile(&file);
        CloseInput(&file);
    }
    close(fd);
    return image;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image* image = DecodeJpeg(data, size);
    Image* fromFile = size ? DecodeThroughFile(data, size) : nullptr;
    if ((image == nullptr) != (fromFile == nullptr)) __builtin_trap();
    if (!image) return 0;
    unsigned sum = 0;
    for (int y = 0; y < image->height; ++y) {
        const uint8_t* row = ImageRow(*image, y);
        if (memcmp(row, ImageRow(*fromFile, y), static_cast<size_t>(image->width) * image->channels) != 0)
            __builtin_trap();
        sum += row[image->width * image->channels - 1];
    }
    FreeImage(image);
    FreeImage(fromFile);
    return sum == 0xFFFFFFFF;
}
