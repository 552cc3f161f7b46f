// BMP writing: BITMAPINFOHEADER, BI_RGB, bottom-up; 24-bit for colour and
// 8-bit with a grey palette for greyscale, as every viewer reads them.
#include <cerrno>
#include <cstring>

#include "errors.h"
#include "file_io.h"
#include "image.h"
#include "imgctl.h"

static void Put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
static void Put32(uint8_t* p, uint32_t v) { Put16(p, v & 0xFFFF); Put16(p + 2, v >> 16); }

static uint32_t PixelOffset(int channels) { return 14 + 40 + (channels == 1 ? 256 * 4 : 0); }

uint64_t BmpFileBytes(int width, int height, int channels) {
    return PixelOffset(channels) + static_cast<uint64_t>(RowStride(width, channels)) * static_cast<uint64_t>(height);
}

uint32_t MakeBmpHeader(uint8_t* header, int width, int height, int channels) {
    const uint32_t offset = PixelOffset(channels);
    const uint64_t pixelBytes = BmpFileBytes(width, height, channels) - offset;
    if (offset + pixelBytes > 0xFFFFFFFFu) return 0;

    memset(header, 0, offset);
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, static_cast<uint32_t>(offset + pixelBytes));
    Put32(header + 10, offset);
    uint8_t* info = header + 14;
    Put32(info + 0, 40);
    Put32(info + 4, static_cast<uint32_t>(width));
    Put32(info + 8, static_cast<uint32_t>(height));
    Put16(info + 12, 1);
    Put16(info + 14, static_cast<uint32_t>(channels * 8));
    Put32(info + 20, static_cast<uint32_t>(pixelBytes));
    if (channels == 1) {
        Put32(info + 32, 256);
        for (int i = 0; i < 256; ++i) {
            uint8_t* entry = info + 40 + 4 * i;
            entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
        }
    }
    return offset;
}

static int Save(const char* path, const Image* image) {
    if (!path || !image) {
        NoteSystemError(kImgctlCannotWrite, EINVAL);
        return kImgctlFailed;
    }
    uint8_t header[kBmpHeaderRoom];
    const uint32_t offset = MakeBmpHeader(header, image->width, image->height, image->channels);
    if (offset == 0) {
        NoteFailure(kImgctlTooLarge);  // past what a BMP file's sizes can state
        return kImgctlFailed;
    }
    SaveFile file;
    if (!BeginSave(&file, path)) return kImgctlFailed;
    SaveBytes(&file, header, offset);
    SaveBytes(&file, image->bits, image->stride * static_cast<size_t>(image->height));
    return CommitSave(&file) ? kImgctlSaved : kImgctlFailed;
}

int DIBtoBMP(const char* path, ImageHandle handle) {
    StartOperation();
    int status = Save(path, reinterpret_cast<const Image*>(handle));
    FinishOperation(status == kImgctlSaved, kImgctlCannotWrite);
    return status;
}
