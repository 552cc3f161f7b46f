// The conversion that restores a BMP. The two that write a JPEG live apart
// (convert_to_jpeg.cpp), so that the restorer links no JPEG encoder.
#include "convert.h"

#include "convert_pool.h"
#include "imgctl.h"

int ConvertJpgToBmp(const char* bmpPath, const char* jpgPath) { return JPGtoBMP(bmpPath, jpgPath); }

int RunJpgToBmpJob(const PoolJob& job) { return ConvertJpgToBmp(job.target, job.source); }
