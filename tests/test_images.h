// Shared helpers of the codec tests: scratch folders, files, generated
// pictures and pixel access to decoded images.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "imgctl.h"

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The tests spell paths as the platform's narrow file functions do (ANSI
// under Wine); the codec and the core take UTF-8.
std::string CodecPath(const std::string& path);

// A fresh folder under the system's temporary folder, removed with its
// content when the test ends.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + kSeparator + name; }

private:
    std::string path_;
};

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// Pixels top-down and tightly packed: R, G, B per pixel, or one grey byte.
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<uint8_t> data;
    uint8_t* At(int x, int y) { return &data[(static_cast<size_t>(y) * width + x) * channels]; }
    const uint8_t* At(int x, int y) const { return &data[(static_cast<size_t>(y) * width + x) * channels]; }
};

// A picture with smooth gradients and sharp edges, different for each seed.
Pixels MakePicture(int width, int height, int channels, int seed = 0);
// Gentle gradients only: what lossy coding keeps closely.
Pixels MakeSmoothPicture(int width, int height, int channels);
// The pixels of a decoded image (empty Pixels for handle 0).
Pixels PixelsOf(ImageHandle image);
// Decodes a file with the codec and returns its pixels (empty when it fails).
Pixels LoadJpegPixels(const std::string& path);
Pixels LoadBmpPixels(const std::string& path);
// Plain 24-bit bottom-up BMP (or 8-bit grey palette for one channel).
std::vector<uint8_t> EncodePlainBmp(const Pixels& pixels);
// An image of the codec holding these pixels (free with FreeImage).
struct Image* ImageOf(const Pixels& pixels);
// Saves pixels as a JPEG through the codec.
bool SaveJpeg(const std::string& path, const Pixels& pixels, int quality = 90, int progressive = 0);
// Largest difference of any sample; -1 when the sizes differ.
int MaxDifference(const Pixels& a, const Pixels& b);
// Mean absolute difference of the samples; 1e9 when the sizes differ.
double MeanDifference(const Pixels& a, const Pixels& b);
// Binary PPM/PGM as djpeg writes it.
Pixels ParsePnm(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> EncodePnm(const Pixels& pixels);

// JPEG variants made with libjpeg directly, for what the codec's own writer
// never produces: CMYK and YCCK, arithmetic coding, restart markers, other
// chroma sampling.
struct JpegVariant {
    bool cmyk = false;         // Adobe (inverted) CMYK made from the pixels
    bool ycck = false;         // the same stored as YCCK
    bool arithmetic = false;
    bool progressive = false;
    int restartRows = 0;
    // One component per scan: sequential scans, or progressive ones split by
    // frequency band only (every DC, then each component's AC; no refinement).
    bool scanPerComponent = false;
    int lumaH = 2, lumaV = 2;  // sampling of the first component
    int quality = 90;
};
bool WriteJpegVariant(const std::string& path, const Pixels& pixels, const JpegVariant& variant);
// The RGB that CMYK ink made by WriteJpegVariant turns back into.
Pixels CmykRoundTrip(const Pixels& pixels);
