// What the workbench's pack round ("総bmp>jpg", then "全追加") does to a
// folder of BMP files, for every program that packs one: which files it
// takes, the JPEG name each gets, and the JPEG settings of a fresh start.
#pragma once
#include <cstddef>

// A fresh workbench's "JPG設定": quality 100, baseline.
constexpr int kStartQuality = 100;
constexpr int kStartProgressive = 0;

// A name the folder search "*.bmp" finds: ending in ".bmp" in any case.
bool IsBmpFileName(const char* name);
// The JPEG beside a BMP: the name with its last three bytes replaced by
// "jpg", as the folder conversion derives its targets. False when the
// name is shorter than three bytes or the result does not fit.
bool DeriveJpegName(const char* bmpName, char* jpgName, size_t size);
