#include "test_images.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "image.h"
#include "text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

TempFolder::TempFolder() {
    static int serial = 0;
#ifdef _WIN32
    unsigned long process = GetCurrentProcessId();
#else
    unsigned long process = static_cast<unsigned long>(getpid());
#endif
    std::string base = std::filesystem::temp_directory_path().string();
    if (!base.empty() && (base.back() == '/' || base.back() == '\\')) base.pop_back();
    for (;;) {
        path_ = base + kSeparator + "tolvtest_" + std::to_string(process) + "_" + std::to_string(++serial);
        std::error_code error;
        if (std::filesystem::create_directory(path_, error)) break;
        if (error) throw std::runtime_error("cannot create " + path_);
    }
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

bool FileExists(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f) fclose(f);
    return f != nullptr;
}

Pixels MakePicture(int width, int height, int channels, int seed) {
    Pixels p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.data.resize(static_cast<size_t>(width) * height * channels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = p.At(x, y);
            int edge = ((x / 7 + y / 5 + seed) % 3 == 0) ? 60 : 0;
            int r = (x * 255 / (width > 1 ? width - 1 : 1) + seed * 37) & 255;
            int g = (y * 255 / (height > 1 ? height - 1 : 1) + edge) & 255;
            int b = ((x + y) * 3 + seed * 11) & 255;
            if (channels == 1) {
                px[0] = static_cast<uint8_t>((r + g + b) / 3);
            } else {
                px[0] = static_cast<uint8_t>(r);
                px[1] = static_cast<uint8_t>(g);
                px[2] = static_cast<uint8_t>(b);
            }
        }
    return p;
}

Pixels MakeSmoothPicture(int width, int height, int channels) {
    Pixels p = MakePicture(width, height, channels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = p.At(x, y);
            int v[3] = {60 + (x * 2) % 120, 80 + (y * 3) % 120, 200 - (x + y) % 100};
            for (int c = 0; c < channels; ++c) px[c] = static_cast<uint8_t>(channels == 1 ? (v[0] + v[1]) / 2 : v[c]);
        }
    return p;
}

Pixels PixelsOf(ImageHandle handle) {
    Pixels p;
    const Image* image = reinterpret_cast<const Image*>(handle);
    if (!image) return p;
    p.width = image->width;
    p.height = image->height;
    p.channels = image->channels;
    p.data.resize(static_cast<size_t>(p.width) * p.height * p.channels);
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = ImageRow(*image, y);
        for (int x = 0; x < p.width; ++x) {
            uint8_t* px = p.At(x, y);
            if (p.channels == 1) {
                px[0] = row[x];
            } else {
                px[0] = row[3 * x + 2];
                px[1] = row[3 * x + 1];
                px[2] = row[3 * x];
            }
        }
    }
    return p;
}

std::string CodecPath(const std::string& path) {
#ifdef _WIN32
    char utf8[kUtf8PathSize];
    return AnsiToUtf8(path.c_str(), utf8) ? utf8 : "";
#else
    return path;
#endif
}

Pixels LoadJpegPixels(const std::string& path) {
    ImageHandle image = JPGtoDIB(CodecPath(path).c_str());
    Pixels p = PixelsOf(image);
    DeleteDIB(image);
    return p;
}

Pixels LoadBmpPixels(const std::string& path) {
    ImageHandle image = BMPtoDIB(CodecPath(path).c_str());
    Pixels p = PixelsOf(image);
    DeleteDIB(image);
    return p;
}

static void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
static void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    Put16(v, at, x & 0xFFFF);
    Put16(v, at + 2, x >> 16);
}

std::vector<uint8_t> EncodePlainBmp(const Pixels& p) {
    size_t stride = (static_cast<size_t>(p.width) * p.channels + 3) & ~size_t(3);
    size_t palette = p.channels == 1 ? 1024 : 0;
    size_t offset = 54 + palette;
    std::vector<uint8_t> v(offset + stride * p.height, 0);
    v[0] = 'B';
    v[1] = 'M';
    Put32(v, 2, static_cast<uint32_t>(v.size()));
    Put32(v, 10, static_cast<uint32_t>(offset));
    Put32(v, 14, 40);
    Put32(v, 18, static_cast<uint32_t>(p.width));
    Put32(v, 22, static_cast<uint32_t>(p.height));
    Put16(v, 26, 1);
    Put16(v, 28, static_cast<uint32_t>(p.channels * 8));
    for (size_t i = 0; i < palette / 4; ++i) v[54 + 4 * i] = v[55 + 4 * i] = v[56 + 4 * i] = uint8_t(i);
    // The codec's images are laid out as BMP pixel data already.
    Image* image = ImageOf(p);
    memcpy(&v[offset], image->bits, stride * p.height);
    FreeImage(image);
    return v;
}

Image* ImageOf(const Pixels& pixels) {
    Image* image = NewImage(pixels.width, pixels.height, pixels.channels);
    if (!image) return nullptr;
    for (int y = 0; y < pixels.height; ++y) {
        uint8_t* row = ImageRow(*image, y);
        for (int x = 0; x < pixels.width; ++x) {
            const uint8_t* px = pixels.At(x, y);
            if (pixels.channels == 1) {
                row[x] = px[0];
            } else {
                row[3 * x] = px[2];
                row[3 * x + 1] = px[1];
                row[3 * x + 2] = px[0];
            }
        }
    }
    return image;
}

bool SaveJpeg(const std::string& path, const Pixels& pixels, int quality, int progressive) {
    Image* image = ImageOf(pixels);
    if (!image) return false;
    int status = DIBtoJPG(CodecPath(path).c_str(), reinterpret_cast<ImageHandle>(image), quality, progressive);
    FreeImage(image);
    return status == kImgctlSaved;
}

int MaxDifference(const Pixels& a, const Pixels& b) {
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.data.size() != b.data.size())
        return -1;
    int worst = 0;
    for (size_t i = 0; i < a.data.size(); ++i) {
        int d = std::abs(int(a.data[i]) - int(b.data[i]));
        if (d > worst) worst = d;
    }
    return worst;
}

double MeanDifference(const Pixels& a, const Pixels& b) {
    if (MaxDifference(a, b) < 0 || a.data.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.data.size(); ++i) sum += std::abs(int(a.data[i]) - int(b.data[i]));
    return sum / static_cast<double>(a.data.size());
}

Pixels ParsePnm(const std::vector<uint8_t>& bytes) {
    Pixels p;
    if (bytes.size() < 3 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return p;
    size_t at = 2;
    int values[3];
    for (int& value : values) {
        while (at < bytes.size() && isspace(bytes[at])) ++at;
        value = 0;
        while (at < bytes.size() && isdigit(bytes[at])) value = value * 10 + (bytes[at++] - '0');
    }
    ++at;  // the single white-space byte before the samples
    p.width = values[0];
    p.height = values[1];
    p.channels = bytes[1] == '5' ? 1 : 3;
    size_t size = static_cast<size_t>(p.width) * p.height * p.channels;
    if (values[2] != 255 || at + size > bytes.size()) return Pixels();
    p.data.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
    return p;
}

std::vector<uint8_t> EncodePnm(const Pixels& p) {
    std::string header = std::string(p.channels == 1 ? "P5" : "P6") + "\n" + std::to_string(p.width) + " " +
                         std::to_string(p.height) + "\n255\n";
    std::vector<uint8_t> v(header.begin(), header.end());
    v.insert(v.end(), p.data.begin(), p.data.end());
    return v;
}
