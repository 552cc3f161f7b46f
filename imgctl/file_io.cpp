#include "file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "blocks.h"
#include "bounded_string.h"
#include "errors.h"
#include "imgctl.h"
#include "text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

static const size_t kSaveBufferSize = size_t(1) << 20;
static const size_t kReadBufferSize = size_t(256) << 10;

#ifdef _WIN32

// Windows' reasons as the errno values the codec reports everywhere; 0 when
// there is none.
static int SystemError() {
    switch (GetLastError()) {
        case ERROR_SUCCESS: return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return EACCES;
        case ERROR_WRITE_PROTECT: return EROFS;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_DIRECTORY: return ENOTDIR;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        default: return EIO;
    }
}
static void ClearSystemError() { SetLastError(ERROR_SUCCESS); }
// A UTF-8 path that has no wide form fails as a name Windows cannot take.
static bool WideOf(const char* path, WidePath* wide) {
    if (ToWidePath(path, wide)) return true;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

static std::atomic<unsigned long> HeldWaits{0};

bool WaitWhileHeld(int* tries) {
    static const DWORD kWaitsMs[] = {10, 20, 40, 80, 160, 320, 500, 500, 500, 500, 500, 500, 500, 500};
    DWORD error = GetLastError();
    bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!held || *tries >= static_cast<int>(sizeof kWaitsMs / sizeof kWaitsMs[0])) return false;
    Sleep(kWaitsMs[(*tries)++]);
    ++HeldWaits;
    SetLastError(error);
    return true;
}

static intptr_t OpenForReading(const char* path) {
    WidePath wide;
    if (!WideOf(path, &wide)) return -1;
    HANDLE h;
    int tries = 0;
    do h = CreateFileW(wide.text, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    while (h == INVALID_HANDLE_VALUE && WaitWhileHeld(&tries));
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}
static bool FileSize(intptr_t f, uint64_t* size) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(f), &li) || li.QuadPart < 0) return false;
    *size = static_cast<uint64_t>(li.QuadPart);
    return true;
}
static bool ReadAll(intptr_t f, uint8_t* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size), got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(f), data, chunk, &got, nullptr) || got == 0) return false;
        data += got;
        size -= got;
    }
    return true;
}
static bool WriteAll(intptr_t f, const uint8_t* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size), put = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(f), data, chunk, &put, nullptr) || put == 0) return false;
        data += put;
        size -= put;
    }
    return true;
}
static bool ReadAllAt(intptr_t f, uint64_t at, uint8_t* data, size_t size) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(at);
    return SetFilePointerEx(reinterpret_cast<HANDLE>(f), to, nullptr, FILE_BEGIN) && ReadAll(f, data, size);
}
static bool WriteAllAt(intptr_t f, uint64_t at, const uint8_t* data, size_t size) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(at);
    return SetFilePointerEx(reinterpret_cast<HANDLE>(f), to, nullptr, FILE_BEGIN) && WriteAll(f, data, size);
}
static void CloseFile(intptr_t f) { CloseHandle(reinterpret_cast<HANDLE>(f)); }
// Delete sharing, so that a Ctrl-C can remove it while a worker writes.
static intptr_t CreateNew(const char* path) {
    WidePath wide;
    if (!WideOf(path, &wide)) return -1;
    HANDLE h = CreateFileW(wide.text, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}
static bool ReplaceFile(const char* from, const char* to) {
    WidePath wideFrom, wideTo;
    if (!WideOf(from, &wideFrom) || !WideOf(to, &wideTo)) return false;
    int tries = 0;
    while (!MoveFileExW(wideFrom.text, wideTo.text, MOVEFILE_REPLACE_EXISTING))
        if (!WaitWhileHeld(&tries)) return false;
    return true;
}
static void RemoveFile(const char* path) {
    WidePath wide;
    int tries = 0;
    if (ToWidePath(path, &wide))
        while (!DeleteFileW(wide.text) && WaitWhileHeld(&tries)) {}
}
static unsigned long ProcessNumber() { return GetCurrentProcessId(); }
static bool FlushToDisk(intptr_t f) { return FlushFileBuffers(reinterpret_cast<HANDLE>(f)) != 0; }
static void Reserve(intptr_t, uint64_t, size_t) {}

#else

static int SystemError() { return errno; }
static void ClearSystemError() { errno = 0; }
// Nothing on these systems keeps a file from being replaced or deleted.
bool WaitWhileHeld(int*) { return false; }
static unsigned long HeldWaits = 0;
static intptr_t OpenForReading(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }
static bool FileSize(intptr_t f, uint64_t* size) {
    struct stat st;
    if (fstat(static_cast<int>(f), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}
static bool ReadAll(intptr_t f, uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t got = read(static_cast<int>(f), data, size);
        if (got <= 0) return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}
static bool WriteAll(intptr_t f, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t put = write(static_cast<int>(f), data, size);
        if (put <= 0) return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}
static bool ReadAllAt(intptr_t f, uint64_t at, uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t got = pread(static_cast<int>(f), data, size, static_cast<off_t>(at));
        if (got <= 0) return false;
        data += got;
        at += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
    return true;
}
static bool WriteAllAt(intptr_t f, uint64_t at, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t put = pwrite(static_cast<int>(f), data, size, static_cast<off_t>(at));
        if (put <= 0) return false;
        data += put;
        at += static_cast<uint64_t>(put);
        size -= static_cast<size_t>(put);
    }
    return true;
}
static void CloseFile(intptr_t f) { close(static_cast<int>(f)); }
static intptr_t CreateNew(const char* path) { return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); }
static bool ReplaceFile(const char* from, const char* to) { return rename(from, to) == 0; }
static void RemoveFile(const char* path) { unlink(path); }
static unsigned long ProcessNumber() { return static_cast<unsigned long>(getpid()); }
static bool FlushToDisk(intptr_t f) { return fsync(static_cast<int>(f)) == 0; }
// Only a hint: when it is refused, the write itself succeeds or fails as
// it would have.
static void Reserve(intptr_t f, uint64_t at, size_t size) {
#ifdef __linux__
    // Otherwise the file system sets room aside page by page as the write
    // goes: about a third of what writing a new file costs.
    (void)fallocate(static_cast<int>(f), 0, static_cast<off_t>(at), static_cast<off_t>(size));
#else
    (void)f;
    (void)at;
    (void)size;
#endif
}

#endif

unsigned long HeldFileWaits() { return HeldWaits; }

// A read that came short: the end of a file that shrank since it was
// opened, or the system's failure.
static void NoteReadFailure(uint64_t length, int error) {
    if (error == 0)
        NoteTruncated(length);
    else
        NoteSystemError(kImgctlCannotOpen, error);
}

// Whether a file of this length may hold a picture; length unknown: the
// file cannot be read at all.
static bool FitsLimit(bool known, uint64_t length, uint64_t maxBytes) {
    if (!known)
        NoteSystemError(kImgctlCannotOpen, SystemError());
    else if (length == 0)
        NoteFailure(kImgctlNotAPicture);
    else if (length > maxBytes || length > SIZE_MAX)
        NoteFailure(kImgctlTooLarge);
    else
        return true;
    return false;
}

// Read through a small buffer and copy: the system then writes into a few
// pages again and again instead of into every page of a large block, which
// costs far more than the copy.
static bool ReadThroughBuffer(intptr_t f, uint8_t* data, size_t size) {
    uint8_t* buffer = static_cast<uint8_t*>(TakeBlock(kReadBufferSize));
    bool ok = buffer != nullptr;
    if (!ok) NoteFailure(kImgctlTooLarge);
    for (size_t at = 0; ok && at < size; at += kReadBufferSize) {
        size_t n = size - at < kReadBufferSize ? size - at : kReadBufferSize;
        ClearSystemError();
        ok = ReadAll(f, buffer, n);
        if (ok)
            memcpy(data + at, buffer, n);
        else
            NoteReadFailure(size, SystemError());
    }
    GiveBlock(buffer);
    return ok;
}

bool OpenInput(InputFile* file, const char* path, uint64_t maxBytes) {
    file->handle = OpenForReading(path);
    file->size = file->left = 0;
    if (file->handle == -1) {
        NoteSystemError(kImgctlCannotOpen, SystemError());
        return false;
    }
    const bool known = FileSize(file->handle, &file->size);
    if (FitsLimit(known, file->size, maxBytes)) {
        file->left = file->size;
        return true;
    }
    CloseFile(file->handle);
    file->handle = -1;
    return false;
}

size_t ReadInput(InputFile* file, uint8_t* data, size_t room) {
    size_t n = file->left < room ? static_cast<size_t>(file->left) : room;
    if (n == 0) return 0;
    ClearSystemError();
    if (!ReadAll(file->handle, data, n)) {
        NoteReadFailure(file->size, SystemError());
        file->left = 0;  // a file that shrank ends here
        return 0;
    }
    file->left -= n;
    return n;
}

bool ReadInputAt(InputFile* file, uint64_t at, uint8_t* data, size_t size) {
    ClearSystemError();
    if (ReadAllAt(file->handle, at, data, size)) return true;
    NoteReadFailure(file->size, SystemError());
    return false;
}

void CloseInput(InputFile* file) {
    if (file->handle != -1) CloseFile(file->handle);
    file->handle = -1;
}

bool ReadWholeFile(const char* path, uint64_t maxBytes, uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    intptr_t f = OpenForReading(path);
    if (f == -1) {
        NoteSystemError(kImgctlCannotOpen, SystemError());
        return false;
    }
    uint64_t length = 0;
    uint8_t* block = nullptr;
    const bool known = FileSize(f, &length);
    bool ok = FitsLimit(known, length, maxBytes);
    if (ok) block = static_cast<uint8_t*>(TakeBlock(static_cast<size_t>(length)));
    if (ok && !block) NoteFailure(kImgctlTooLarge);
    ok = block && ReadThroughBuffer(f, block, static_cast<size_t>(length));
    CloseFile(f);
    if (!ok) {
        GiveBlock(block);
        return false;
    }
    *data = block;
    *size = static_cast<size_t>(length);
    return true;
}

// The temporary files of saves under way, for RemoveUnfinishedSaves. A save
// claims its place with its path before it makes the file, so a stop either
// finds the file or keeps it from being made; once a stop is asked for, no
// save begins.
namespace {
const int kTrackedSaves = 64;
// kClaimed: the path is being written; kMaking: the file is being made;
// kRemoving: taken over by a stop, never handed back.
enum { kFree, kClaimed, kMaking, kActive, kRemoving };
struct TrackedSave {
    std::atomic<int> state{kFree};
    char path[sizeof SaveFile::temporary];
};
TrackedSave Unfinished[kTrackedSaves];
std::atomic<bool> Stopping{false};
}  // namespace

// A short wait that a signal handler may make too.
static void PauseBriefly() {
#ifdef _WIN32
    Sleep(10);
#else
    timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
#endif
}

// A free place, waited for while every one is taken; -1 once a stop is asked for.
static int ClaimPlace() {
    while (!Stopping.load()) {
        for (int i = 0; i < kTrackedSaves; ++i) {
            int expected = kFree;
            if (Unfinished[i].state.compare_exchange_strong(expected, kClaimed)) return i;
        }
        PauseBriefly();
    }
    return -1;
}

// Moves a place on, unless a stop has taken it over meanwhile.
static bool MovePlace(int place, int from, int to) {
    return Unfinished[place].state.compare_exchange_strong(from, to);
}

// Whether the file may be made: false when a stop came first. Either the
// stop sees kMaking or the save sees the stop.
static bool MayMake(int place, const char* temporary) {
    memcpy(Unfinished[place].path, temporary, strlen(temporary) + 1);
    Unfinished[place].state.store(kMaking);
    if (!Stopping.load()) return true;
    MovePlace(place, kMaking, kClaimed);
    return false;
}

static void ForgetSave(SaveFile* file) {
    if (file->tracked >= 0) MovePlace(file->tracked, kActive, kFree);
    file->tracked = -1;
}

void RemoveUnfinishedSaves() {
    Stopping.store(true);
    // Saves in the middle of making their file get about a second to finish.
    for (int waited = 0; waited < 100; ++waited) {
        bool making = false;
        for (TrackedSave& save : Unfinished) making = making || save.state.load() == kMaking;
        if (!making) break;
        PauseBriefly();
    }
    // Places already taken over too: a second signal may have interrupted the first.
    for (int i = 0; i < kTrackedSaves; ++i) {
        MovePlace(i, kActive, kRemoving);
        MovePlace(i, kMaking, kRemoving);
        if (Unfinished[i].state.load() == kRemoving) RemoveFile(Unfinished[i].path);
    }
}

static bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool IsSaveTemporaryName(const char* name) {
    if (strncmp(name, "~tv", 3) != 0) return false;
    const char* p = name + 3;
    const char* start = p;
    while (IsHexDigit(*p)) ++p;
    if (p == start || *p++ != '_') return false;
    start = p;
    while (IsHexDigit(*p)) ++p;
    return p > start && strcmp(p, ".tmp") == 0;
}

bool IsSaveTemporaryNameInAnyCase(const char* name) {
    char lower[kUtf8PathSize];
    size_t length = strlen(name);
    if (length >= sizeof lower) return false;
    for (size_t i = 0; i <= length; ++i)
        lower[i] = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
    return IsSaveTemporaryName(lower);
}

// A write that failed: the system's reason, or a full disk when the system
// wrote nothing without giving one.
static void WriteFailed(SaveFile* file) {
    file->failed = true;
    int error = SystemError();
    NoteSystemError(kImgctlCannotWrite, error ? error : ENOSPC);
}

bool BeginSave(SaveFile* file, const char* target) {
    memset(file, 0, sizeof *file);
    file->handle = -1;
    file->tracked = -1;
    if (target[0] == '\0' || !CopyString(file->target, target)) {
        NoteSystemError(kImgctlCannotWrite, target[0] == '\0' ? ENOENT : ENAMETOOLONG);
        return false;
    }
    // The temporary file sits in the target's folder, so the rename cannot
    // cross volumes and replaces the target in one step.
    static std::atomic<unsigned> serial{0};  // saves may run on several threads at once
    size_t folderLength = static_cast<size_t>(PathNamePart(target) - target);
    int place = ClaimPlace();
    int error = place < 0 ? EINTR : 0;
    for (int attempt = 0; place >= 0 && attempt < 100 && file->handle == -1; ++attempt) {
        char name[40];
        snprintf(name, sizeof name, "~tv%lx_%x.tmp", ProcessNumber() & 0xFFFFF, ++serial & 0xFFFF);
        memcpy(file->temporary, target, folderLength);
        file->temporary[folderLength] = '\0';
        if (!AppendString(file->temporary, name)) {
            error = ENAMETOOLONG;
            break;
        }
        if (!MayMake(place, file->temporary)) {
            error = EINTR;
            break;
        }
        file->handle = CreateNew(file->temporary);
        if (file->handle == -1) {
            error = SystemError();
            bool kept = MovePlace(place, kMaking, kClaimed);
            if (error != EEXIST || !kept) break;  // only a taken name is worth another
        } else if (!MovePlace(place, kMaking, kActive)) {
            // A stop came while the file was made, and removes it.
            CloseFile(file->handle);
            RemoveFile(file->temporary);
            file->handle = -1;
            error = EINTR;
            break;
        }
    }
    if (file->handle == -1) {
        if (place >= 0) MovePlace(place, kClaimed, kFree);
        NoteSystemError(kImgctlCannotWrite, error ? error : EEXIST);
        return false;
    }
    file->tracked = place;
    file->buffer = static_cast<uint8_t*>(TakeBlock(kSaveBufferSize));
    if (!file->buffer) {
        NoteSystemError(kImgctlCannotWrite, ENOMEM);
        AbortSave(file);
        return false;
    }
    return true;
}

// Everything goes through the buffer, large pixel blocks too: the system
// then copies from a few pages it has just seen rather than from every page
// of a whole image, which costs far more than the copy into the buffer.
void SaveBytes(SaveFile* file, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (size > 0 && !file->failed) {
        if (file->used == kSaveBufferSize) {
            if (!WriteAll(file->handle, file->buffer, file->used)) WriteFailed(file);
            file->used = 0;
        }
        size_t n = kSaveBufferSize - file->used < size ? kSaveBufferSize - file->used : size;
        memcpy(file->buffer + file->used, bytes, n);
        file->used += n;
        bytes += n;
        size -= n;
    }
}

// Large pieces written at their place straight from the caller's block:
// a band of rows the caller has just filled is as warm as the buffer. Each
// piece's room is set aside as it comes, so a file claiming a huge picture
// takes no more disk than its data fills.
void SaveBytesAt(SaveFile* file, uint64_t at, const void* data, size_t size) {
    if (!file->failed && file->used > 0 && !WriteAll(file->handle, file->buffer, file->used)) WriteFailed(file);
    file->used = 0;
    if (!file->failed) Reserve(file->handle, at, size);
    if (!file->failed && !WriteAllAt(file->handle, at, static_cast<const uint8_t*>(data), size)) WriteFailed(file);
}

static std::atomic<bool> DurableSaves{false};

void SetDurableSaves(bool durable) { DurableSaves = durable; }

bool CommitSave(SaveFile* file) {
    if (!file->failed && file->used > 0 && !WriteAll(file->handle, file->buffer, file->used)) WriteFailed(file);
    if (!file->failed && DurableSaves && !FlushToDisk(file->handle)) WriteFailed(file);
    CloseFile(file->handle);
    file->handle = -1;
    GiveBlock(file->buffer);
    file->buffer = nullptr;
    bool saved = !file->failed && ReplaceFile(file->temporary, file->target);
    if (!saved && !file->failed) NoteSystemError(kImgctlCannotWrite, SystemError());
    if (!saved) RemoveFile(file->temporary);
    ForgetSave(file);
    return saved;
}

void AbortSave(SaveFile* file) {
    if (file->handle != -1) {
        CloseFile(file->handle);
        RemoveFile(file->temporary);
    }
    ForgetSave(file);
    file->handle = -1;
    GiveBlock(file->buffer);
    file->buffer = nullptr;
}
