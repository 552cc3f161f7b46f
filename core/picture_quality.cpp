#include "picture_quality.h"

#include <cmath>
#include <cstdlib>

#include "image.h"
#include "ssimulacra2.h"

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

// A quality tried: its JPEG's size, its PSNR, and its perceptual score when
// that is the measure (NAN otherwise).
struct Trial {
    double psnr;
    uint64_t bytes;
    double score = NAN;
};

// What the search holds to: the PSNR, or the perceptual score.
double Measured(const Trial& trial, QualityMeasure measure) {
    return measure == kMeasureSsimulacra2 ? trial.score : trial.psnr;
}

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
bool Try(ImageHandle picture, int quality, int progressive, int optimize, JpegChroma chroma, QualityMeasure measure,
         Trial* trial) {
    uint8_t* data;
    size_t size;
    if (DIBtoJPGMemory(picture, quality, progressive, optimize, &data, &size, chroma) != kImgctlSaved) return false;
    trial->bytes = size;
    bool measured = PsnrOfBytes(data, size, *reinterpret_cast<const Image*>(picture), &trial->psnr);
    if (measured && measure == kMeasureSsimulacra2) {
        ImageHandle decoded = JPGMemorytoDIB(data, size);
        measured = decoded && Ssimulacra2(picture, decoded, &trial->score);
        DeleteDIB(decoded);
    }
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
static bool Search(ImageHandle picture, const QualityTarget& target, int progressive, int optimize, JpegChroma chroma,
                   QualityChoice* choice) {
    Trial best;
    if (!Try(picture, 100, progressive, optimize, chroma, target.measure, &best)) return false;
    const bool reached = Measured(best, target.measure) >= target.value;
    int low = 1, high = 100;
    while (reached && low < high) {
        int middle = (low + high) / 2;
        Trial trial;
        if (!Try(picture, middle, progressive, optimize, chroma, target.measure, &trial)) return false;
        if (Measured(trial, target.measure) >= target.value) {
            high = middle;
            best = trial;
        } else {
            low = middle + 1;
        }
    }
    *choice = QualityChoice{high, best.psnr, best.bytes, reached, chroma, best.score};
    return true;
}

QualityChoice LowestQualityReaching(const char* bmpPath, const QualityTarget& target, int progressive, int optimize,
                                    JpegChroma chroma) {
    QualityChoice choice = {0, 0, 0, false, chroma, NAN};
    ImageHandle picture = BMPtoDIB(bmpPath);
    if (picture && !Search(picture, target, progressive, optimize, chroma, &choice))
        choice = QualityChoice{0, 0, 0, false, chroma, NAN};
    DeleteDIB(picture);
    return choice;
}

QualityChoice LowestQualityReaching(const char* bmpPath, double targetPsnr, int progressive, int optimize,
                                    JpegChroma chroma) {
    return LowestQualityReaching(bmpPath, QualityTarget{kMeasurePsnr, targetPsnr}, progressive, optimize, chroma);
}

static bool Better(const QualityChoice& a, const QualityChoice& b) {
    if (a.reached != b.reached) return a.reached;
    return a.reached ? a.bytes < b.bytes : a.psnr > b.psnr;
}

QualityChoice ChooseChroma(const char* bmpPath, int quality, const QualityTarget& target, int progressive,
                           int optimize) {
    QualityChoice choices[2] = {{0, 0, 0, false, kChroma420, NAN}, {0, 0, 0, false, kChroma444, NAN}};
    ImageHandle picture = BMPtoDIB(bmpPath);
    bool grey = picture && reinterpret_cast<const Image*>(picture)->channels == 1;
    for (int i = 0; picture && i < (grey ? 1 : 2); ++i) {
        JpegChroma chroma = choices[i].chroma;
        Trial trial;
        if (quality == 0 && !Search(picture, target, progressive, optimize, chroma, &choices[i]))
            choices[i].quality = 0;
        else if (quality > 0 && Try(picture, quality, progressive, optimize, chroma, kMeasurePsnr, &trial))
            choices[i] = QualityChoice{quality, trial.psnr, trial.bytes, true, chroma, NAN};
    }
    DeleteDIB(picture);
    if (grey || choices[1].quality == 0) return choices[0];
    if (choices[0].quality == 0) return choices[1];
    if (quality > 0) return choices[1].psnr - choices[0].psnr > kChromaWorthDb ? choices[1] : choices[0];
    return Better(choices[1], choices[0]) ? choices[1] : choices[0];
}
