#include "pack_rules.h"

#include <cstring>

#include "bounded_string.h"

bool IsBmpFileName(const char* name) {
    size_t length = strlen(name);
    return length >= 4 && SameNameIgnoringCase(name + length - 4, ".bmp");
}

bool DeriveJpegName(const char* bmpName, char* jpgName, size_t size) {
    return CopyString(jpgName, size, bmpName) && ReplaceLastBytes(jpgName, size, 3, "jpg");
}
