#include "folder_files.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

bool JoinFolder(char (&path)[kPathSize], const char* folder, const char* name) {
    if (!CopyString(path, folder)) return false;
    // A folder given with its separator, a drive root or none at all (the
    // current folder) takes no other.
#ifdef _WIN32
    bool ends = *FileNamePart(path) == '\0';
#else
    size_t length = strlen(path);
    bool ends = length == 0 || path[length - 1] == '/';
#endif
    return (ends || AppendString(path, kFolderSeparator)) && AppendString(path, name);
}

#ifdef _WIN32

// Without best-fit characters: a name Windows would spell with a look-alike
// or "?" has no spelling here.
static bool NarrowName(UINT codePage, const wchar_t* wide, char (&name)[kPathSize]) {
    BOOL defaulted = FALSE;
    int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, -1, name, kPathSize, nullptr, &defaulted);
    return length > 0 && !defaulted;
}

bool ListFolderFiles(const char* folder, std::vector<FolderFile>* files) {
    char pattern[kPathSize];
    wchar_t widePattern[kPathSize];
    if (!JoinFolder(pattern, folder, "*") ||
        !MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pattern, -1, widePattern, kPathSize))
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widePattern, &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        FolderFile file = {};
        // The list's code page and the one the ANSI file functions use are
        // the same on a Japanese system; a name must have both spellings.
        file.spelt = NarrowName(932, found.cFileName, file.listName);
        if (!NarrowName(CP_ACP, found.cFileName, file.nativeName)) {
            file.spelt = false;
            NarrowName(CP_UTF8, found.cFileName, file.nativeName);
        }
        if (!file.spelt) file.listName[0] = '\0';
        files->push_back(file);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

bool NativeNameOf(const char* listName, char (&nativeName)[kPathSize]) {
    wchar_t wide[kPathSize];
    return MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, listName, -1, wide, kPathSize) &&
           NarrowName(CP_ACP, wide, nativeName);
}

static bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool MakeOneFolder(const char* path) { return CreateDirectoryA(path, nullptr) || IsFolder(path); }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)); }

int64_t FileBytes(const char* path) {
    struct __stat64 status;
    return _stat64(path, &status) == 0 ? status.st_size : -1;
}

#else

// One whole name through iconv; false when a character has no spelling in
// the target code or the result does not fit.
static bool Recode(const char* to, const char* from, const char* name, char (&out)[kPathSize]) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    char* in = const_cast<char*>(name);
    size_t inLeft = strlen(name);
    char* next = out;
    size_t outLeft = kPathSize - 1;
    bool whole = iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<size_t>(-1) &&
                 iconv(converter, nullptr, nullptr, &next, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    *next = '\0';
    return whole;
}

bool ListFolderFiles(const char* folder, std::vector<FolderFile>* files) {
    DIR* dir = opendir(folder);
    if (!dir) return false;
    while (const dirent* entry = readdir(dir)) {
        FolderFile file = {};
        char path[kPathSize];
        struct stat status;
        if (!CopyString(file.nativeName, entry->d_name)) continue;
        // A path too long to stat is still reported, by its name.
        if (JoinFolder(path, folder, entry->d_name) && stat(path, &status) == 0 && !S_ISREG(status.st_mode)) continue;
        file.spelt = Recode("CP932", "UTF-8", file.nativeName, file.listName);
        if (!file.spelt) file.listName[0] = '\0';
        files->push_back(file);
    }
    closedir(dir);
    return true;
}

bool NativeNameOf(const char* listName, char (&nativeName)[kPathSize]) {
    return Recode("UTF-8", "CP932", listName, nativeName);
}

static bool MakeOneFolder(const char* path) {
    struct stat status;
    return mkdir(path, 0777) == 0 || (stat(path, &status) == 0 && S_ISDIR(status.st_mode));
}

bool StandardErrorIsTerminal() { return isatty(fileno(stderr)); }

int64_t FileBytes(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 ? static_cast<int64_t>(status.st_size) : -1;
}

#endif

bool MakeFolders(const char* path) {
    char part[kPathSize];
    if (!CopyString(part, path)) return false;
    // Each parent first; a separator inside a double-byte character is none.
    for (char* p = part + 1; *p; ++p) {
#ifdef _WIN32
        if (IsShiftJisLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            ++p;
            continue;
        }
        bool separator = (*p == '/' || *p == '\\') && p[-1] != ':';
#else
        bool separator = *p == '/';
#endif
        if (separator && p[-1] != '/' && p[-1] != '\\') {
            char kept = *p;
            *p = '\0';
            MakeOneFolder(part);
            *p = kept;
        }
    }
    return MakeOneFolder(part);
}
