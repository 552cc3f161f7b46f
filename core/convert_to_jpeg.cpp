// The conversions that write a JPEG, and their pool jobs.
#include "convert.h"
#include "convert_pool.h"

int ConvertBmpToJpg(const char* jpgPath, const char* bmpPath, int quality, int progressive, int optimize,
                    JpegChroma chroma) {
    int streamed = BMPtoJPG(jpgPath, bmpPath, quality, progressive, optimize, chroma);
    if (streamed != kBmpNotStreamed) return streamed;
    ImageHandle image = BMPtoDIB(bmpPath);
    if (image == 0) return 0;
    int status = DIBtoJPG(jpgPath, image, quality, progressive, optimize, chroma);
    DeleteDIB(image);
    return status;
}

int ConvertJpgToJpg(const char* sourceJpgPath, const char* targetJpgPath, int quality, int progressive,
                    int optimize) {
    return JPGtoJPG(targetJpgPath, sourceJpgPath, quality, progressive, optimize);
}

int RunBmpToJpgJob(const PoolJob& job) {
    return ConvertBmpToJpg(job.target, job.source, job.quality, job.progressive, job.optimize);
}
int RunJpgToJpgJob(const PoolJob& job) {
    return ConvertJpgToJpg(job.source, job.target, job.quality, job.progressive, job.optimize);
}
