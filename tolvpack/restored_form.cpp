#include "restored_form.h"

namespace {

// "1-bit palette", "4-bit RLE", "24-bit top-down", ...
std::string FormName(int bits, int compression, bool palette, bool topDown) {
    std::string name = std::to_string(bits) + "-bit";
    if (compression == 1 || compression == 2) name += " RLE";
    else if (palette) name += " palette";
    if (topDown) name += " top-down";
    return name;
}

}  // namespace

std::string RestoredFormChange(const BmpForm& form, int64_t bmpBytes) {
    bool same = form.bitsPerPixel == form.restoredBitsPerPixel && (form.compression == 0 || form.compression == 3) &&
                !form.topDown && (form.bitsPerPixel == 24 || form.palette);
    if (same) return "";
    return std::string(form.restoredBitsPerPixel == 8 ? "comes back as an 8-bit grey" : "comes back as a 24-bit") +
           " BMP of " + std::to_string(form.restoredBytes) + " bytes (was " +
           FormName(form.bitsPerPixel, form.compression, form.palette, form.topDown) + ", " + std::to_string(bmpBytes) +
           " bytes)";
}
