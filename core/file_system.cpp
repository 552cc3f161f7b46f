#include "file_system.h"

#include <cstring>

#include "bounded_string.h"

#ifdef _WIN32
#include <windows.h>

bool IdentifyFile(const char* path, FileIdentity* identity) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
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
static bool ResolvedName(const char* path, WCHAR (&full)[MAX_PATH]) {
    WCHAR wide[kPathSize];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kPathSize)) return false;
    DWORD length = GetFullPathNameW(wide, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    CharUpperBuffW(full, length);
    return true;
}

bool SameFileName(const char* a, const char* b) {
    if (SamePathIgnoringCase(a, b)) return true;
    WCHAR fullA[MAX_PATH], fullB[MAX_PATH];
    return ResolvedName(a, fullA) && ResolvedName(b, fullB) && lstrcmpW(fullA, fullB) == 0;
}

bool IsPlainFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const char* path) { return DeleteFileA(path) != 0; }

#else
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

#endif

bool SameFile(const FileIdentity& a, const FileIdentity& b) { return a.volume == b.volume && a.index == b.index; }
