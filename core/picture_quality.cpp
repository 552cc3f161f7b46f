#include "picture_quality.h"

#include <cmath>
#include <cstdlib>

#include "image.h"

namespace {

// Squared differences of one row of width pixels, 1 (grey) or 3 (BGR) bytes
// each: a grey pixel counts as its grey in red, green and blue, as the
// restored BMP shows it. Whole numbers: every sum is exact, so the same
// pictures give the same PSNR to the last bit on every machine.
uint64_t RowSquares(const uint8_t* a, int channelsA, const uint8_t* b, int channelsB, int width) {
    uint64_t squares = 0;
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) {
            int d = a[channelsA == 1 ? x : 3 * x + c] - b[channelsB == 1 ? x : 3 * x + c];
            squares += uint64_t(d * d);
        }
    return squares;
}

double PsnrOf(uint64_t squares, int width, int height) {
    double mean = double(squares) / (3.0 * width * height);
    return mean == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mean);
}

// A quality tried: its JPEG's size and PSNR.
struct Trial {
    double psnr;
    uint64_t bytes;
};

// The PSNR of a JPEG held in memory against the picture, decoded 16 rows at
// a time: a second whole picture would double what a search holds.
bool PsnrOfBytes(const uint8_t* data, size_t size, const Image& picture, double* psnr) {
    int width, height, channels;
    JpegReader* reader = OpenJpeg(data, size, nullptr, &width, &height, &channels);
    const size_t rowBytes = size_t(width) * size_t(channels);
    uint8_t* rows = reader && width == picture.width && height == picture.height
                        ? static_cast<uint8_t*>(malloc(16 * rowBytes))
                        : nullptr;
    uint64_t squares = 0;
    int y = 0;
    while (rows && y < height) {
        uint8_t* at[16];
        for (int i = 0; i < 16; ++i) at[i] = rows + size_t(i) * rowBytes;
        int n = ReadJpegRows(reader, at, height - y < 16 ? height - y : 16);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i, ++y)
            squares += RowSquares(at[i], channels, ImageRow(picture, y), picture.channels, width);
    }
    const bool measured = rows && y == height;
    if (measured) *psnr = PsnrOf(squares, width, height);
    free(rows);
    CloseJpeg(reader);
    return measured;
}

// Encodes the picture in memory at one quality and measures its decode.
bool Try(ImageHandle picture, int quality, int progressive, int optimize, Trial* trial) {
    uint8_t* data;
    size_t size;
    if (DIBtoJPGMemory(picture, quality, progressive, optimize, &data, &size) != kImgctlSaved) return false;
    trial->bytes = size;
    bool measured = PsnrOfBytes(data, size, *reinterpret_cast<const Image*>(picture), &trial->psnr);
    DeleteJPGMemory(data);
    return measured;
}

}  // namespace

bool PicturePsnr(ImageHandle first, ImageHandle second, double* psnr) {
    const Image* a = reinterpret_cast<const Image*>(first);
    const Image* b = reinterpret_cast<const Image*>(second);
    if (!a || !b || a->width != b->width || a->height != b->height) return false;
    uint64_t squares = 0;
    for (int y = 0; y < a->height; ++y)
        squares += RowSquares(ImageRow(*a, y), a->channels, ImageRow(*b, y), b->channels, a->width);
    *psnr = PsnrOf(squares, a->width, a->height);
    return true;
}

bool MeasurePsnr(const char* jpgPath, const char* bmpPath, double* psnr) {
    ImageHandle jpg = JPGtoDIB(jpgPath);
    ImageHandle bmp = jpg ? BMPtoDIB(bmpPath) : 0;
    bool measured = bmp && PicturePsnr(jpg, bmp, psnr);
    DeleteDIB(jpg);
    DeleteDIB(bmp);
    return measured;
}

// The bisection: high always reaches the target (or nothing does, and it
// stays 100); every quality below low that was tried fell short.
static bool Search(ImageHandle picture, double targetPsnr, int progressive, int optimize, QualityChoice* choice) {
    Trial best;
    if (!Try(picture, 100, progressive, optimize, &best)) return false;
    const bool reached = best.psnr >= targetPsnr;
    int low = 1, high = 100;
    while (reached && low < high) {
        int middle = (low + high) / 2;
        Trial trial;
        if (!Try(picture, middle, progressive, optimize, &trial)) return false;
        if (trial.psnr >= targetPsnr) {
            high = middle;
            best = trial;
        } else {
            low = middle + 1;
        }
    }
    *choice = QualityChoice{high, best.psnr, best.bytes, reached};
    return true;
}

QualityChoice LowestQualityReaching(const char* bmpPath, double targetPsnr, int progressive, int optimize) {
    QualityChoice choice = {0, 0, 0, false};
    ImageHandle picture = BMPtoDIB(bmpPath);
    if (picture && !Search(picture, targetPsnr, progressive, optimize, &choice)) choice = QualityChoice{0, 0, 0, false};
    DeleteDIB(picture);
    return choice;
}
