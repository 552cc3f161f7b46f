// File access for the codec: whole-file reads and saves that never leave a
// half-written file where the target was (write beside it, then rename).
// Each failure is noted as the reason of the codec's operation (errors.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "text_encoding.h"

// Antivirus programs and indexers open each new file for a moment without
// letting others replace or delete it. A file call refused for sharing or
// access (Windows) is tried again after growing waits, about 4 seconds in
// all per call. After a failed call, with tries starting at 0: true when it
// was such a refusal and time is left, having waited; the call's reason is
// kept for the caller.
bool WaitWhileHeld(int* tries);
// Waits made so far by every file call, for a report.
unsigned long HeldFileWaits();

// Reads a whole file into a block from TakeBlock. Refuses files larger than
// maxBytes. The caller hands the block back with GiveBlock.
bool ReadWholeFile(const char* path, uint64_t maxBytes, uint8_t** data, size_t* size);

// A file read a piece at a time, for a decoder that needs only a little of
// it at once.
struct InputFile {
    intptr_t handle;
    uint64_t size;  // the file's length when opened
    uint64_t left;  // bytes not read yet
};
// Opens a regular file of 1 to maxBytes bytes (an empty one is no picture,
// a longer one too large).
bool OpenInput(InputFile* file, const char* path, uint64_t maxBytes);
// Reads up to room bytes; 0 at the end of the file or when reading fails.
size_t ReadInput(InputFile* file, uint8_t* data, size_t room);
// Reads exactly size bytes from byte at on; false when they are not there.
bool ReadInputAt(InputFile* file, uint64_t at, uint8_t* data, size_t size);
void CloseInput(InputFile* file);

struct SaveFile {
    char target[kUtf8PathSize];
    char temporary[kUtf8PathSize + 40];
    intptr_t handle;    // platform file handle of the temporary file
    int tracked;        // its place among the unfinished saves, or -1
    bool failed;        // a write went wrong: the save will not be committed
    uint8_t* buffer;    // writes are gathered into large blocks
    size_t used;
};

// Saves write to "~tv" + process + "_" + serial (both hexadecimal) + ".tmp"
// beside the target.
bool BeginSave(SaveFile* file, const char* target);
// Whether a file name is one such temporary name.
bool IsSaveTemporaryName(const char* name);
// The same in any case of its letters: Windows resolves "~TV1_1.TMP" to the
// file "~tv1_1.tmp".
bool IsSaveTemporaryNameInAnyCase(const char* name);
void SaveBytes(SaveFile* file, const void* data, size_t size);
// Writes size bytes at byte at of the file, for a file written out of order.
// What SaveBytes gathered is written first; after this call, the rest of the
// file goes through SaveBytesAt too.
void SaveBytesAt(SaveFile* file, uint64_t at, const void* data, size_t size);
// Writes what is buffered and renames the temporary file over the target;
// false (and the temporary file removed) when anything failed.
bool CommitSave(SaveFile* file);
void AbortSave(SaveFile* file);

// Removes the temporary files of the saves under way, for a program stopped
// by Ctrl-C or a termination signal. From then on BeginSave refuses (EINTR);
// a save in the middle of making its file is waited for, a second at most.
// Safe inside a signal handler: it only sets and reads flags, sleeps and
// removes files.
void RemoveUnfinishedSaves();
