// tolvpack: the author's round of the workbench and the restorer from a
// build script. Each command returns the program's exit code: 0 all good,
// 1 something did not pass, 2 trouble (bad usage, unreadable input).
#pragma once
#include "imgctl.h"
#include "installer_bytes.h"

enum { kExitGood = 0, kExitNotPassed = 1, kExitTrouble = 2 };

struct PackOptions {
    int quality;
    int progressive;
    int optimize;        // optimised Huffman tables
    int jobs;            // 0: one worker per processor
    bool targetGiven;    // each picture's quality chosen to reach targetPsnr
    double targetPsnr;
    JpegChroma chroma;
    bool chromaAuto;     // chosen per picture
    Compressor compressor;  // the installer's, by which each picture ships as a JPEG or as its BMP
    bool allJpeg;        // every BMP as a JPEG (but one whose alpha is in use)
    const char* restorer;   // tolvinst.exe, for its compressed size; null: beside this program
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
    bool json;
    bool quiet;
};
int CheckCommand(const CheckOptions& options);

int RestoreCommand(const char* folder, int jobs, bool quiet);

// The whole command line, parsed by CLI11.
int RunTolvpack(int argc, char** argv);
