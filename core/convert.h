// The three conversion primitives over the image codec. Each returns 0 when
// its source could not be loaded, else the status of the codec's save.
#pragma once

int ConvertJpgToBmp(const char* bmpPath, const char* jpgPath);
int ConvertBmpToJpg(const char* jpgPath, const char* bmpPath, int quality, int progressive);
// Source first, target second: the opposite order to the other two.
int ConvertJpgToJpg(const char* sourceJpgPath, const char* targetJpgPath, int quality, int progressive);
