#include "file_system.h"

#include <cstring>

#include "bounded_string.h"
#include "file_io.h"
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

static bool IsLink(const char* path) {
    WidePath wide;
    DWORD attributes = ToWidePath(path, &wide) ? GetFileAttributesW(wide.text) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

void MakeReplaceable(const char* path) {
    WidePath wide;
    if (!ToWidePath(path, &wide)) return;
    DWORD attributes = GetFileAttributesW(wide.text);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(wide.text, attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool RemoveFile(const char* path) {
    WidePath wide;
    if (!ToWidePath(path, &wide)) return false;
    if (DeleteFileW(wide.text)) return true;
    MakeReplaceable(path);
    int tries = 0;
    while (!DeleteFileW(wide.text))
        if (!WaitWhileHeld(&tries)) return false;
    return true;
}

LockOutcome LockFolder(const char* folderPrefix, FolderLock* lock) {
    char path[kUtf8PathSize];
    WidePath wide;
    if (!CopyString(path, folderPrefix) || !AppendString(path, kLockFileName) || !ToWidePath(path, &wide))
        return kNoLock;
    HANDLE file = CreateFileW(wide.text, GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        lock->handle = reinterpret_cast<intptr_t>(file);
        return kLocked;
    }
    // Only its holder can have it open. Anything else (a folder of that
    // name, a folder where nothing may be made) is no lock to wait for.
    return GetLastError() == ERROR_SHARING_VIOLATION ? kLockedElsewhere : kNoLock;
}

void UnlockFolder(FolderLock* lock) {
    if (lock->handle != -1) CloseHandle(reinterpret_cast<HANDLE>(lock->handle));
    lock->handle = -1;
}

void RemoveSaveLeftovers(const char* folderPrefix, KeepFile keep, void* context) {
    char pattern[kUtf8PathSize];
    WidePath wide;
    if (!CopyString(pattern, folderPrefix) || !AppendString(pattern, "~tv*.tmp") || !ToWidePath(pattern, &wide))
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide.text, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        char name[kUtf8PathSize], path[kUtf8PathSize];
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && WideToUtf8(found.cFileName, name, sizeof name) &&
            IsSaveTemporaryName(name) && CopyString(path, folderPrefix) && AppendString(path, name) &&
            !(keep && keep(path, context)))
            RemoveFile(path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

FILE* OpenFile(const char* path, const char* mode) {
    WidePath wide;
    wchar_t wideMode[8];
    if (!ToWidePath(path, &wide) || !Utf8ToWide(mode, wideMode, 8)) return nullptr;
    FILE* file;
    int tries = 0;
    do file = _wfopen(wide.text, wideMode);
    while (!file && WaitWhileHeld(&tries));
    return file;
}

// NTFS keeps its own journal of renames.
void FlushFolder(const char*) {}

#else
#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <sys/file.h>
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

static bool IsLink(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0 && S_ISLNK(status.st_mode);
}

static bool IsSeparator(char c) { return c == '/'; }

bool RemoveFile(const char* path) { return unlink(path) == 0; }

// The file's mode does not keep a rename or an unlink from replacing it.
void MakeReplaceable(const char*) {}

// The folder itself, for its lock and its flush; an empty prefix is the current one.
static int OpenFolder(const char* folderPrefix) {
    return open(folderPrefix[0] ? folderPrefix : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

LockOutcome LockFolder(const char* folderPrefix, FolderLock* lock) {
    int folder = OpenFolder(folderPrefix);
    if (folder < 0) return kNoLock;
    if (flock(folder, LOCK_EX | LOCK_NB) != 0) {
        bool held = errno == EWOULDBLOCK;
        close(folder);
        return held ? kLockedElsewhere : kNoLock;
    }
    lock->handle = folder;
    return kLocked;
}

void UnlockFolder(FolderLock* lock) {
    if (lock->handle != -1) close(static_cast<int>(lock->handle));
    lock->handle = -1;
}

void RemoveSaveLeftovers(const char* folderPrefix, KeepFile keep, void* context) {
    DIR* folder = opendir(folderPrefix[0] ? folderPrefix : ".");
    if (!folder) return;
    while (const dirent* entry = readdir(folder)) {
        char path[kUtf8PathSize];
        if (IsSaveTemporaryName(entry->d_name) && CopyString(path, folderPrefix) && AppendString(path, entry->d_name) &&
            IsPlainFile(path) && !(keep && keep(path, context)))
            unlink(path);
    }
    closedir(folder);
}

FILE* OpenFile(const char* path, const char* mode) { return fopen(path, mode); }

void FlushFolder(const char* folderPrefix) {
    int folder = OpenFolder(folderPrefix);
    if (folder < 0) return;
    fsync(folder);
    close(folder);
}

#endif

bool SameFile(const FileIdentity& a, const FileIdentity& b) { return a.volume == b.volume && a.index == b.index; }

// Each folder below the prefix, then the file. A "." component stays where
// it is, and would name the prefix itself.
bool PassesThroughLink(const char* folderPrefix, const char* path) {
    size_t start = strlen(folderPrefix);
    char part[kUtf8PathSize];
    if (strncmp(path, folderPrefix, start) != 0 || !CopyString(part, path)) return true;
    for (size_t i = start, component = start;; ++i) {
        if (path[i] != '\0' && !IsSeparator(path[i])) continue;
        bool stays = i == component || (i == component + 1 && path[component] == '.');
        part[i] = '\0';
        if (!stays && IsLink(part)) return true;
        if (path[i] == '\0') return false;
        part[i] = path[i];
        component = i + 1;
    }
}
