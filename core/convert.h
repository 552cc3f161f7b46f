// The three conversion primitives over the image codec. Each returns 0 when
// its source could not be loaded, else the status of the codec's save; when
// it fails, LastImgctlError() says why. optimize: Huffman tables made for the
// picture, the same pixels in fewer bytes; chroma: how much colour the JPEG
// keeps (see imgctl.h).
#pragma once
#include "imgctl.h"

int ConvertJpgToBmp(const char* bmpPath, const char* jpgPath);
int ConvertBmpToJpg(const char* jpgPath, const char* bmpPath, int quality, int progressive, int optimize = 0,
                    JpegChroma chroma = kChroma420);
// Source first, target second: the opposite order to the other two.
int ConvertJpgToJpg(const char* sourceJpgPath, const char* targetJpgPath, int quality, int progressive,
                    int optimize = 0);
