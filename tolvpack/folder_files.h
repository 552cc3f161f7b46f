// The file system as tolvpack meets it on either platform. Every file is
// reached by its real name (UTF-8 inside, wide calls on Windows); the list
// holds Shift-JIS names whatever the machine, so each name also gets its
// code page 932 spelling, and a name without one is noticed instead of
// being turned into question marks or look-alikes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "bounded_string.h"
#include "text_encoding.h"

#ifdef _WIN32
constexpr char kFolderSeparator[] = "\\";
#else
constexpr char kFolderSeparator[] = "/";
#endif

struct FolderFile {
    char name[kUtf8PathSize];  // the file's real name
    char listName[kPathSize];  // its Shift-JIS spelling, when spelt
    bool spelt;                // false: code page 932 cannot spell it back as it is
};

// The plain files of a folder and, when asked, the names of its subfolders.
// False when the folder cannot be read.
bool ListFolderFiles(const char* folder, std::vector<FolderFile>* files,
                     std::vector<std::string>* subfolders = nullptr);
// folder + separator + name.
bool JoinFolder(char (&path)[kUtf8PathSize], const char* folder, const char* name);
// Makes a folder and its missing parents; true when it is there.
bool MakeFolders(const char* path);
// The size of a file in bytes, or -1.
int64_t FileBytes(const char* path);
// The command line as UTF-8: on Windows from the wide command line, which
// carries every name; elsewhere as given.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
bool IsFolder(const char* path);
// The path of a file of this name beside the running program.
bool ProgramFolderFile(char (&path)[kUtf8PathSize], const char* name);
// Whether two paths reach one folder, however spelt.
bool SameFolder(const char* a, const char* b);
// Removes the temporary files of unfinished saves when the program is
// stopped by Ctrl-C (SIGINT, SIGTERM; on Windows Ctrl-C and Ctrl-Break).
void RemoveTemporariesWhenStopped();
