// JPEG reading from any bytes: a result or nothing, never a crash or leak.
#include <cstddef>
#include <cstdint>

#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image* image = DecodeJpeg(data, size);
    if (image) {
        unsigned sum = 0;
        for (int y = 0; y < image->height; ++y) sum += ImageRow(*image, y)[image->width * image->channels - 1];
        FreeImage(image);
        return sum == 0xFFFFFFFF;
    }
    return 0;
}
