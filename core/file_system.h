// The few file-system questions the restore rules ask, answered the way the
// platform resolves names: on Windows one file has many spellings (case,
// also of full-width letters, ".\", trailing dots and blanks), so the files
// themselves decide where the names cannot.
// Paths are UTF-8 (see text_encoding.h).
#pragma once
#include <cstdint>
#include <cstdio>

// A file as the file system knows it, whatever spelling reached it.
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
};

// False when the path names nothing (or nothing that can be opened).
bool IdentifyFile(const char* path, FileIdentity* identity);
bool SameFile(const FileIdentity& a, const FileIdentity& b);
// Whether two paths name one file as the system resolves names, whether or
// not it exists yet.
bool SameFileName(const char* a, const char* b);
// An existing file that is not a folder.
bool IsPlainFile(const char* path);
// Whether path (folderPrefix and a name below it) passes through a link: a
// folder of the name, or the file itself, that is a reparse point (Windows:
// a junction, a symbolic link) or a symbolic link (Linux). Written or
// deleted through one, a file outside the folder would go. The folder
// itself may be reached through links: the installer chose it.
bool PassesThroughLink(const char* folderPrefix, const char* path);
// Deletes a file, a read-only one too (an installer may copy the attribute).
bool RemoveFile(const char* path);
// Clears the read-only attribute, so that a save may replace the file.
void MakeReplaceable(const char* path);
// fopen by the file's real name on every platform.
FILE* OpenFile(const char* path, const char* mode);
// Makes the renames in a folder (a BMP put in place) survive a power cut
// before the only other copy of a picture is deleted.
void FlushFolder(const char* folderPrefix);

// One restorer per folder: a lock on the folder that goes with the process,
// also when it is killed. On Windows it is an empty file that only its
// holder can open and that goes when closed ("~tvlock.tmp"); on Linux a lock
// on the folder itself. kNoLock: the folder cannot hold one (the work goes
// on without it, as it did before there was one).
constexpr char kLockFileName[] = "~tvlock.tmp";
enum LockOutcome { kLocked, kLockedElsewhere, kNoLock };
struct FolderLock {
    intptr_t handle = -1;
};
LockOutcome LockFolder(const char* folderPrefix, FolderLock* lock);
void UnlockFolder(FolderLock* lock);

// Removes the temporary files that saves into the folder left when their
// program was killed (those of the codec's naming rule, and no others), but
// never one that keep, when given, says is a file the caller needs.
typedef bool (*KeepFile)(const char* path, void* context);
void RemoveSaveLeftovers(const char* folderPrefix, KeepFile keep = nullptr, void* context = nullptr);
