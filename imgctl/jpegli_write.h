// The codec's JPEGs by jpegli instead of libjpeg-turbo, for a program that
// links imgctl_jpegli; program-wide, set before any work starts.
#pragma once
#include "jpeg_common.h"

void UseJpegli(bool jpegli);
