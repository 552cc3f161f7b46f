// What a JPEG costs a picture: the PSNR of its decode against the original,
// and the lowest quality that keeps a BMP at a PSNR, tried in memory.
#pragma once
#include <cstdint>

#include "imgctl.h"

// PSNR over red, green and blue of two decoded pictures; INFINITY when equal.
// A grey picture counts as its grey in all three. False when sizes differ.
bool PicturePsnr(ImageHandle a, ImageHandle b, double* psnr);
// The decode of a JPEG file against a BMP file, as the restorer would write
// it. False when either does not load or the sizes differ.
bool MeasurePsnr(const char* jpgPath, const char* bmpPath, double* psnr);

struct QualityChoice {
    int quality;     // 1..100; 0 when the BMP could not be read (or encoded)
    double psnr;     // of the JPEG at that quality against the BMP
    uint64_t bytes;  // the JPEG's size at that quality
    bool reached;    // false: even quality 100 falls short of the target (quality is then 100)
    JpegChroma chroma;
    double score;    // its SSIMULACRA2, when that was the target; NAN otherwise
};

// What a search holds each picture to: a PSNR in decibels, or a perceptual
// score (SSIMULACRA2: about 90 no visible difference, 70 high quality).
enum QualityMeasure { kMeasurePsnr, kMeasureSsimulacra2 };
struct QualityTarget {
    QualityMeasure measure;
    double value;
};
// The lowest quality whose JPEG (with the given progressive and optimize
// settings) decodes to at least targetPsnr against the BMP, found by
// bisection over 1..100 on encodes made in memory (no file written). The
// JPEG is byte for byte what ConvertBmpToJpg writes at that quality. The
// quality one lower always falls short; the answer is the lowest of all
// where the PSNR grows with the quality, as it does but for rare steps.
QualityChoice LowestQualityReaching(const char* bmpPath, double targetPsnr, int progressive, int optimize,
                                    JpegChroma chroma = kChroma420);
// The same, holding to either measure.
QualityChoice LowestQualityReaching(const char* bmpPath, const QualityTarget& target, int progressive, int optimize,
                                    JpegChroma chroma);

// Full-resolution colour where it pays. With a target (quality 0): both
// chroma searched, the one reaching the target in fewer bytes taken. At a
// fixed quality: 4:4:4 where 4:2:0 loses more than kChromaWorthDb of PSNR
// against it (coloured edges of icons and text), else 4:2:0. A grey
// picture has no colour: 4:2:0, which is its plain encoding.
constexpr double kChromaWorthDb = 2.0;
QualityChoice ChooseChroma(const char* bmpPath, int quality, const QualityTarget& target, int progressive,
                           int optimize);
