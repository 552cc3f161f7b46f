#include "convert.h"

#include "imgctl.h"

int ConvertJpgToBmp(const char* bmpPath, const char* jpgPath) { return JPGtoBMP(bmpPath, jpgPath); }

int ConvertBmpToJpg(const char* jpgPath, const char* bmpPath, int quality, int progressive, int optimize) {
    int streamed = BMPtoJPG(jpgPath, bmpPath, quality, progressive, optimize);
    if (streamed != kBmpNotStreamed) return streamed;
    ImageHandle image = BMPtoDIB(bmpPath);
    if (image == 0) return 0;
    int status = DIBtoJPG(jpgPath, image, quality, progressive, optimize);
    DeleteDIB(image);
    return status;
}

int ConvertJpgToJpg(const char* sourceJpgPath, const char* targetJpgPath, int quality, int progressive,
                    int optimize) {
    return JPGtoJPG(targetJpgPath, sourceJpgPath, quality, progressive, optimize);
}
