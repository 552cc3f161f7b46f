// Why the codec's current load or save failed, noted where the failure is
// found. Each public operation starts clean and ends clean when it worked;
// the first reason noted in between stands, so a save that stops because its
// picture did not load is about the picture, not about the save.
#pragma once
#include <cstdint>

#include "imgctl.h"

void StartOperation();
// Ends an operation: clean when it worked; when it failed and no reason was
// noted, the fallback.
void FinishOperation(bool worked, ImgctlErrorKind fallback);

void NoteFailure(ImgctlErrorKind kind);
// detail, printf-style: what kind of file (unsupported) or what is wrong with
// it (damaged), "BMP: ..." or "JPEG: ...".
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void NoteFailure(ImgctlErrorKind kind, const char* detail, ...);
void NoteTruncated(uint64_t fileLength);
// kImgctlCannotOpen or kImgctlCannotWrite, with an errno value.
void NoteSystemError(ImgctlErrorKind kind, int error);
