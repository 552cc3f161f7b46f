#include "progress.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "console.h"
#include "file_system.h"
#include "folder_files.h"

void StartProgress(Progress& progress, const char* verb, long total) {
    progress = Progress{};
    progress.shown = StandardErrorIsTerminal();
    progress.verb = verb;
    progress.total = total;
    progress.start = std::chrono::steady_clock::now();
}

void AdvanceProgress(Progress& progress, double megapixels) {
    ++progress.done;
    progress.megapixels += megapixels;
    if (!progress.shown) return;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
    double rate = seconds > 0 ? progress.megapixels / seconds : 0;
    fprintf(stderr, "\r%s: %ld/%ld files, %.1f MP/s   ", progress.verb, progress.done, progress.total, rate);
    fflush(stderr);
}

void ClearProgress(const Progress& progress) {
    if (!progress.shown || progress.done == 0) return;
    fprintf(stderr, "\r%*s\r", 60, "");
    fflush(stderr);
}

void EndProgress(Progress& progress) {
    if (progress.shown && progress.done > 0) fputc('\n', stderr);
    progress.shown = false;
}

static int32_t LittleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return count == 2 ? static_cast<int16_t>(value) : static_cast<int32_t>(value);
}

double BmpMegapixels(const char* path) {
    unsigned char head[26];
    FILE* file = OpenFile(path, "rb");
    if (!file) return 0;
    size_t have = fread(head, 1, sizeof head, file);
    fclose(file);
    if (have < sizeof head || head[0] != 'B' || head[1] != 'M') return 0;
    // The OS/2 header of 12 bytes has 16-bit sides, every later one 32-bit.
    bool small = LittleEndian(head + 14, 4) == 12;
    double width = std::abs(static_cast<double>(LittleEndian(head + 18, small ? 2 : 4)));
    double height = std::abs(static_cast<double>(LittleEndian(head + (small ? 20 : 22), small ? 2 : 4)));
    return width * height / 1e6;
}
