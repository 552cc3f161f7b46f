// tolvpack: the author's round of the workbench and the restorer from a
// build script. Each command returns the program's exit code: 0 all good,
// 1 something did not pass, 2 trouble (bad usage, unreadable input).
#pragma once
#include <string>

#include "imgctl.h"
#include "installer_bytes.h"

enum { kExitGood = 0, kExitNotPassed = 1, kExitTrouble = 2 };

// Whether this build carries jpegli, pack's default encoder when it does.
#ifdef TOLVANE_HAVE_JPEGLI
constexpr bool kHaveJpegli = true;
#else
constexpr bool kHaveJpegli = false;
#endif

struct PackOptions {
    int quality;
    int progressive;
    int optimize;        // optimised Huffman tables
    int jobs;            // 0: one worker per processor
    bool targetGiven;    // each picture's quality chosen to reach the target
    double targetPsnr;   // the target: a PSNR in decibels,
    bool targetQuality;  // or, when this is set, a SSIMULACRA2 score (targetScore)
    double targetScore;
    JpegChroma chroma;
    bool chromaAuto;     // chosen per picture
    Compressor compressor;  // the installer's, by which each picture ships as a JPEG or as its BMP
    bool allJpeg;        // every BMP as a JPEG (but one whose alpha is in use)
    const char* restorer;   // tolvinst.exe, for its compressed size; null: beside this program
    bool jpegli;         // the JPEG XL project's encoder; else libjpeg-turbo's (the workbench's bytes)
    const char* source;  // the folder of BMP files
    const char* out;     // where the JPEGs and the list go; null: beside the BMPs
    bool clean;          // remove JPEGs in the output folder the new list does not name
    bool json;
    bool quiet;
};
int PackCommand(const PackOptions& options);

struct CheckOptions {
    const char* folder;   // holding tvfile.txt and the JPEGs
    const char* bmpFrom;  // the original BMPs when they are not in folder; may be null
    bool minPsnrGiven;
    double minPsnr;
    bool minQualityGiven;  // a SSIMULACRA2 score every compared entry must reach
    double minQuality;
    bool json;
    bool quiet;
};
int CheckCommand(const CheckOptions& options);

int RestoreCommand(const char* folder, int jobs, bool quiet);

// The whole command line, parsed by CLI11.
int RunTolvpack(int argc, char** argv);
// "tolvpack: MESSAGE" on standard error and the help to read, the command's
// own when one is given; returns the exit code of a usage error.
int UsageError(const std::string& message, const std::string& command);
