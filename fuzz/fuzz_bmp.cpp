// BMP reading from any bytes: a result or nothing, never a crash, leak,
// hang or over-read; every row of a result is read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "blocks.h"
#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader takes a block it may keep as the image's pixels.
    uint8_t* copy = static_cast<uint8_t*>(TakeBlock(size ? size : 1));
    if (!copy) return 0;
    if (size) memcpy(copy, data, size);
    Image* image = DecodeBmp(copy, size);
    if (!image) return 0;
    unsigned sum = 0;
    for (int y = 0; y < image->height; ++y) {
        const uint8_t* row = ImageRow(*image, y);
        for (size_t i = 0; i < image->stride; ++i) sum += row[i];
    }
    FreeImage(image);
    return sum == 0xFFFFFFFF;
}
