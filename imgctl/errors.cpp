// The reason a load or save failed, kept per thread: the conversion pool
// runs conversions on its workers, each with its own reason.
#include "errors.h"

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

static constexpr ImgctlError kClean = {kImgctlNoError, 0, 0, {0}};
static thread_local ImgctlError Last = kClean;

ImgctlError LastImgctlError() { return Last; }

void StartOperation() { Last = kClean; }

void FinishOperation(bool worked, ImgctlErrorKind fallback) {
    if (worked)
        StartOperation();
    else if (fallback == kImgctlCannotOpen || fallback == kImgctlCannotWrite)
        NoteSystemError(fallback, EIO);
    else
        NoteFailure(fallback);
}

bool Given(const char* path, ImgctlErrorKind kind) {
    if (!path) NoteSystemError(kind, EINVAL);
    return path != nullptr;
}

int Saved(int status) {
    FinishOperation(status != kImgctlFailed, kImgctlCannotWrite);
    return status;
}

void NoteFailure(ImgctlErrorKind kind) {
    if (Last.kind == kImgctlNoError) Last.kind = kind;
}

void NoteFailure(ImgctlErrorKind kind, const char* detail, ...) {
    if (Last.kind != kImgctlNoError) return;
    Last.kind = kind;
    va_list arguments;
    va_start(arguments, detail);
    vsnprintf(Last.detail, sizeof Last.detail, detail, arguments);
    va_end(arguments);
}

void NoteTruncated(uint64_t fileLength) {
    if (Last.kind != kImgctlNoError) return;
    NoteFailure(kImgctlTruncated);
    Last.byte = fileLength;
}

void NoteSystemError(ImgctlErrorKind kind, int error) {
    if (Last.kind != kImgctlNoError) return;
    NoteFailure(kind);
    Last.systemError = error;
}

// The system's words for an error, the same on Linux and Windows (the
// Windows C library words some of them otherwise).
static const char* SystemErrorText(int error) {
    static const struct {
        int error;
        const char* text;
    } kTexts[] = {
        {ENOENT, "No such file or directory"},
        {EACCES, "Permission denied"},
        {EPERM, "Operation not permitted"},
        {EROFS, "Read-only file system"},
        {ENOSPC, "No space left on device"},
        {EFBIG, "File too large"},
        {EIO, "Input/output error"},
        {EISDIR, "Is a directory"},
        {ENOTDIR, "Not a directory"},
        {ENAMETOOLONG, "File name too long"},
        {EEXIST, "File exists"},
        {ENOMEM, "Cannot allocate memory"},
        {EBUSY, "Device or resource busy"},
        {EINVAL, "Invalid argument"},
        {EMFILE, "Too many open files"},
        {ENFILE, "Too many open files in system"},
#ifdef EDQUOT
        {EDQUOT, "Disk quota exceeded"},
#endif
#ifdef ELOOP
        {ELOOP, "Too many levels of symbolic links"},
#endif
    };
    for (const auto& entry : kTexts)
        if (entry.error == error) return entry.text;
    return nullptr;
}

void DescribeImgctlError(const ImgctlError& error, char* text, size_t size) {
    if (!text || size == 0) return;
    const char* system = SystemErrorText(error.systemError);
    char number[32];
    if (!system) {
        snprintf(number, sizeof number, "error %d", error.systemError);
        system = number;
    }
    switch (error.kind) {
        case kImgctlNoError: snprintf(text, size, "no error"); return;
        case kImgctlCannotOpen: snprintf(text, size, "cannot open: %s", system); return;
        case kImgctlNotAPicture:
            if (error.detail[0])
                snprintf(text, size, "damaged %s", error.detail);
            else
                snprintf(text, size, "not a BMP or JPEG picture");
            return;
        case kImgctlTruncated: snprintf(text, size, "truncated at byte %" PRIu64, error.byte); return;
        case kImgctlUnsupported:
            snprintf(text, size, "unsupported %s", error.detail[0] ? error.detail : "picture");
            return;
        case kImgctlTooLarge: snprintf(text, size, "too large"); return;
        case kImgctlCannotWrite: snprintf(text, size, "cannot write: %s", system); return;
    }
    snprintf(text, size, "unknown error");
}
