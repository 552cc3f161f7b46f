#include "convert.h"

#include "imgctl.h"

int ConvertJpgToBmp(const char* bmpPath, const char* jpgPath) { return JPGtoBMP(bmpPath, jpgPath); }

int ConvertBmpToJpg(const char* jpgPath, const char* bmpPath, int quality, int progressive) {
    int streamed = BMPtoJPG(jpgPath, bmpPath, quality, progressive);
    if (streamed != kBmpNotStreamed) return streamed;
    ImageHandle image = BMPtoDIB(bmpPath);
    if (image == 0) return 0;
    int status = DIBtoJPG(jpgPath, image, quality, progressive);
    DeleteDIB(image);
    return status;
}

int ConvertJpgToJpg(const char* sourceJpgPath, const char* targetJpgPath, int quality, int progressive) {
    return JPGtoJPG(targetJpgPath, sourceJpgPath, quality, progressive);
}
