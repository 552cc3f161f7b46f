#include "file_system.h"

#include <cstring>

#include "bounded_string.h"
#include "text_encoding.h"

#ifdef _WIN32
#include <windows.h>

bool IdentifyFile(const char* path, FileIdentity* identity) {
    WidePath wide;
    if (!ToWidePath(path, &wide)) return false;
    HANDLE file = CreateFileW(wide.text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (known)
        *identity = {info.dwVolumeSerialNumber, (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return known;
}

// The full path in capitals, as Windows resolves it: ".\" and "..\" taken
// out, trailing dots and blanks dropped, case folded (full-width letters
// too), so that every spelling of one name gives the same text.
static bool ResolvedName(const char* path, WidePath* full) {
    WidePath wide;
    if (!Utf8ToWide(path, wide.text, sizeof wide.text / sizeof wide.text[0])) return false;
    const DWORD room = sizeof full->text / sizeof full->text[0];
    DWORD length = GetFullPathNameW(wide.text, room, full->text, nullptr);
    if (length == 0 || length >= room) return false;
    CharUpperBuffW(full->text, length);
    return true;
}

bool SameFileName(const char* a, const char* b) {
    if (SamePathIgnoringCase(a, b)) return true;
    WidePath fullA, fullB;
    return ResolvedName(a, &fullA) && ResolvedName(b, &fullB) && lstrcmpW(fullA.text, fullB.text) == 0;
}

bool IsPlainFile(const char* path) {
    WidePath wide;
    DWORD attributes = ToWidePath(path, &wide) ? GetFileAttributesW(wide.text) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const char* path) {
    WidePath wide;
    return ToWidePath(path, &wide) && DeleteFileW(wide.text) != 0;
}

FILE* OpenFile(const char* path, const char* mode) {
    WidePath wide;
    wchar_t wideMode[8];
    if (!ToWidePath(path, &wide) || !Utf8ToWide(mode, wideMode, 8)) return nullptr;
    return _wfopen(wide.text, wideMode);
}

// NTFS keeps its own journal of renames.
void FlushFolder(const char*) {}

#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool IdentifyFile(const char* path, FileIdentity* identity) {
    struct stat status;
    if (stat(path, &status) != 0) return false;
    *identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    return true;
}

bool SameFileName(const char* a, const char* b) { return strcmp(a, b) == 0; }

bool IsPlainFile(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

bool RemoveFile(const char* path) { return unlink(path) == 0; }

FILE* OpenFile(const char* path, const char* mode) { return fopen(path, mode); }

void FlushFolder(const char* folderPrefix) {
    int folder = open(folderPrefix[0] ? folderPrefix : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    fsync(folder);
    close(folder);
}

#endif

bool SameFile(const FileIdentity& a, const FileIdentity& b) { return a.volume == b.volume && a.index == b.index; }
