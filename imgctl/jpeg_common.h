// What JPEG reading (jpeg.cpp) and writing (jpeg_write.cpp) share: libjpeg's
// errors kept inside the codec, and a picture's coefficient arrays kept in
// blocks. Two files, so that a program that only reads JPEG files links none
// of libjpeg's encoder.
#pragma once
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include "image.h"

struct ErrorManager {
    jpeg_error_mgr manager;
    jmp_buf escape;
    bool endOfData;   // the data ran out, whether or not a pixel was missing
    uint64_t length;  // of the file or bytes read
};
// libjpeg's errors then note their reason and longjmp to escape.
void InitErrors(ErrorManager* errors);

struct CoefficientArray {
    JBLOCKARRAY rows;   // set when first reached
    void** pieces;      // the blocks holding rowsPerPiece rows each
    JDIMENSION blocksPerRow;
    JDIMENSION rowCount;
    JDIMENSION rowsPerPiece;
    JDIMENSION reached;  // rows set and zeroed so far, from the top
    CoefficientArray* next;
};

struct CoefficientArrays {
    jpeg_memory_mgr* manager;
    void (*realize)(j_common_ptr);
    void (*freePool)(j_common_ptr, int);
    void (*destroy)(j_common_ptr);
    CoefficientArray* arrays;
};
// After jpeg_create_*: all must outlive the libjpeg object.
void KeepCoefficientsInBlocks(j_common_ptr info, CoefficientArrays* all);

// What a JPEG encoder is asked for.
struct JpegSettings {
    int width, height, channels;  // channels: 3 (BGR) or 1 (grey)
    int quality;                  // 1..100
    bool progressive, optimize;
    JpegChroma chroma;
};
// Encodes the rows into the destination; libjpeg's errors go to errors,
// whose escape the encoder sets itself. False when it failed.
typedef bool (*JpegRowsEncoder)(jpeg_destination_mgr* destination, ErrorManager* errors,
                                const JpegSettings& settings, RowSource* source);
// Program-wide: every JPEG the codec writes goes through this encoder; null
// for libjpeg-turbo's. Set before any work starts.
void UseJpegRowsEncoder(JpegRowsEncoder encoder);
