// SSIMULACRA2: the perceptual score of the JPEG XL project's tools, computed
// as their ssimulacra2 program does, so that savings can be stated at a
// quality people see rather than at a PSNR.
#pragma once
#include "imgctl.h"

// The score of the distorted picture against the original: 100 when they
// are equal, about 90 where a difference cannot be seen at 1:1, 70 for a
// good JPEG, 30 for a poor one; unbounded below. A grey picture counts as
// its grey in red, green and blue. False when the sizes differ, either side
// is under 8 pixels (as the reference tool refuses them), or memory is
// short. Thread-safe: every buffer belongs to the call. useFma false: without
// the processor's fused multiply-adds even where it has them, as on one that
// lacks them; the same score, more slowly (for the tests).
bool Ssimulacra2(ImageHandle original, ImageHandle distorted, double* score, bool useFma = true);
