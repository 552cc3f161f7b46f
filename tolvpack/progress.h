// The progress line: files done of all and megapixels per second, redrawn
// in place on standard error when that is a terminal, and nothing at all
// otherwise, so scripts and logs see only the results.
#pragma once
#include <chrono>

struct Progress {
    bool shown = false;  // standard error is a terminal
    const char* verb = "";
    long total = 0;
    long done = 0;
    double megapixels = 0;
    std::chrono::steady_clock::time_point start;
};

void StartProgress(Progress& progress, const char* verb, long total);
// One more file finished, of so many pixels (0 when not known).
void AdvanceProgress(Progress& progress, double megapixels);
// Erases the line, so that a result printed now stands alone; the next
// advance draws it again.
void ClearProgress(const Progress& progress);
// Ends the line so that what follows starts on a fresh one.
void EndProgress(Progress& progress);

// The pixels of a BMP file as its header gives them, in millions; 0 when
// it cannot be read. Only for the progress figure: the codec decides
// whether the file is a picture.
double BmpMegapixels(const char* path);
