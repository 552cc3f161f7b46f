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
// A path the caller did not give: nothing to open or to write (EINVAL).
bool Given(const char* path, ImgctlErrorKind kind);
// Ends a save with its status, its reason noted when there is none.
int Saved(int status);

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
