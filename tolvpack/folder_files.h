// The file system as tolvpack meets it on either platform. The list file
// holds Shift-JIS names whatever the machine: on Linux the file system's
// names (normally UTF-8) are converted, on Windows the wide names are read
// and converted, so a name that has no Shift-JIS spelling is noticed
// instead of being turned into question marks.
#pragma once
#include <cstdint>
#include <vector>

#include "bounded_string.h"

#ifdef _WIN32
constexpr char kFolderSeparator[] = "\\";
#else
constexpr char kFolderSeparator[] = "/";
#endif

struct FolderFile {
    char nativeName[kPathSize];  // as this platform's file functions take it
    char listName[kPathSize];    // the Shift-JIS spelling, when spelt
    bool spelt;                  // false: the name has no Shift-JIS spelling
};

// The plain files of a folder, not its subfolders. False when the folder
// cannot be read.
bool ListFolderFiles(const char* folder, std::vector<FolderFile>* files);
// The native spelling of a Shift-JIS list name. False when there is none
// or it does not fit.
bool NativeNameOf(const char* listName, char (&nativeName)[kPathSize]);
// folder + separator + name.
bool JoinFolder(char (&path)[kPathSize], const char* folder, const char* name);
// Makes a folder and its missing parents; true when it is there.
bool MakeFolders(const char* path);
// The size of a file in bytes, or -1.
int64_t FileBytes(const char* path);
bool StandardErrorIsTerminal();
