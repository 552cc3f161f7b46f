#include "folder_files.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "file_io.h"
#include "file_system.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <shellapi.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool JoinFolder(char (&path)[kUtf8PathSize], const char* folder, const char* name) {
    if (!CopyString(path, folder)) return false;
    // A folder given with its separator, a drive root or none at all (the
    // current folder) takes no other.
#ifdef _WIN32
    bool ends = *PathNamePart(path) == '\0';
#else
    size_t length = strlen(path);
    bool ends = length == 0 || path[length - 1] == '/';
#endif
    return (ends || AppendString(path, kFolderSeparator)) && AppendString(path, name);
}

static void SpellForList(FolderFile* file) {
    file->spelt = Utf8ToListName(file->name, file->listName);
    if (!file->spelt) file->listName[0] = '\0';
}

#ifdef _WIN32

bool ListFolderFiles(const char* folder, std::vector<FolderFile>* files, std::vector<std::string>* subfolders) {
    char pattern[kUtf8PathSize];
    WidePath widePattern;
    if (!JoinFolder(pattern, folder, "*") || !ToWidePath(pattern, &widePattern)) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widePattern.text, &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        FolderFile file = {};
        if (!WideToUtf8(found.cFileName, file.name, sizeof file.name)) continue;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SpellForList(&file);
            files->push_back(file);
        } else if (subfolders && strcmp(file.name, ".") != 0 && strcmp(file.name, "..") != 0) {
            subfolders->push_back(file.name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

static DWORD Attributes(const char* path) {
    WidePath wide;
    return ToWidePath(path, &wide) ? GetFileAttributesW(wide.text) : INVALID_FILE_ATTRIBUTES;
}

// A file beside this program, by the program's own path.
bool ProgramFolderFile(char (&path)[kUtf8PathSize], const char* name) {
    wchar_t program[kUtf8PathSize];
    DWORD length = GetModuleFileNameW(nullptr, program, kUtf8PathSize);
    if (length == 0 || length >= kUtf8PathSize || !WideToUtf8(program, path, sizeof path)) return false;
    path[PathNamePart(path) - path] = '\0';
    return AppendString(path, name);
}

bool IsFolder(const char* path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool MakeOneFolder(const char* path) {
    WidePath wide;
    return (ToWidePath(path, &wide) && CreateDirectoryW(wide.text, nullptr)) || IsFolder(path);
}

int64_t FileBytes(const char* path) {
    WidePath wide;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!ToWidePath(path, &wide) || !GetFileAttributesExW(wide.text, GetFileExInfoStandard, &data)) return -1;
    return static_cast<int64_t>((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    for (int i = 0; i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &text[0], size, nullptr, nullptr);
        text.resize(strlen(text.c_str()));
        arguments.push_back(text);
    }
    LocalFree(wide);
    return arguments;
}

// Runs on a thread of its own. Ending the process closes the files and so
// completes their removal; the exit code is Windows' own for a Ctrl-C, never
// a success (Wine's default handler would end with 0).
static BOOL WINAPI OnConsoleStop(DWORD) {
    RemoveUnfinishedSaves();
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

void RemoveTemporariesWhenStopped() { SetConsoleCtrlHandler(OnConsoleStop, TRUE); }

#else

bool ListFolderFiles(const char* folder, std::vector<FolderFile>* files, std::vector<std::string>* subfolders) {
    DIR* dir = opendir(folder);
    if (!dir) return false;
    while (const dirent* entry = readdir(dir)) {
        FolderFile file = {};
        char path[kUtf8PathSize];
        struct stat status;
        if (!CopyString(file.name, entry->d_name)) continue;
        // A path too long to stat is still reported, by its name.
        bool known = JoinFolder(path, folder, entry->d_name) && stat(path, &status) == 0;
        if (known && S_ISDIR(status.st_mode)) {
            if (subfolders && strcmp(file.name, ".") != 0 && strcmp(file.name, "..") != 0)
                subfolders->push_back(file.name);
            continue;
        }
        if (known && !S_ISREG(status.st_mode)) continue;
        SpellForList(&file);
        files->push_back(file);
    }
    closedir(dir);
    return true;
}

bool ProgramFolderFile(char (&path)[kUtf8PathSize], const char* name) {
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return false;
    path[length] = '\0';
    path[PathNamePart(path) - path] = '\0';
    return AppendString(path, name);
}

bool IsFolder(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

static bool MakeOneFolder(const char* path) { return mkdir(path, 0777) == 0 || IsFolder(path); }

int64_t FileBytes(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 ? static_cast<int64_t>(status.st_size) : -1;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

static void OnStopSignal(int number) {
    RemoveUnfinishedSaves();
    signal(number, SIG_DFL);
    raise(number);
}

void RemoveTemporariesWhenStopped() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
}

#endif

bool MakeFolders(const char* path) {
    char part[kUtf8PathSize];
    if (!CopyString(part, path)) return false;
    // Each parent first.
    for (char* p = part + 1; *p; ++p) {
#ifdef _WIN32
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

bool SameFolder(const char* a, const char* b) {
    FileIdentity first, second;
    return IdentifyFile(a, &first) && IdentifyFile(b, &second) && SameFile(first, second);
}
