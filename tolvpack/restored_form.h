// What a BMP becomes on its way through a JPEG: the restorer writes a
// bottom-up 24-bit BMP (8-bit grey for a grey picture), whatever form the
// original had.
#pragma once
#include <cstdint>
#include <string>

#include "imgctl.h"

// "comes back as a 24-bit BMP of N bytes (was 1-bit palette, M bytes)", or
// empty when the restored BMP has the original's form.
std::string RestoredFormChange(const BmpForm& form, int64_t bmpBytes);
