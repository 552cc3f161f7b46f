// Restoring a folder as the installer leaves it: every JPEG the pair list
// names becomes its BMP; the list then records exactly what was not
// restored, and only then are the restored JPEGs deleted. tolvinst and
// tolvpack restore through this; it keeps its state program-wide, so one
// restore runs at a time.
#pragma once

enum RestoreOutcome {
    kRestoredAll = 0,   // every entry restored; the list is deleted
    kRestoredPart = 1,  // some entry was not: the list now holds just those
    kNoList = 2,        // no list to read (cannot be opened, or claims too many)
};

// Reads folderPrefix + "tvfile.txt", having first finished what a killed
// run recorded. False when there is no list to read; then nothing may be
// touched. True with no entries when the killed run's work was all.
bool ReadRestoreList(const char* folderPrefix);
// Entries read by ReadRestoreList.
int RestoreEntryCount();

// Called on the caller's thread: once before any work with jpegPath null,
// then once per entry as it is finished or refused, with the entries left.
typedef void (*RestoreReport)(int left, const char* jpegPath, void* context);

// Converts the list read, on `workers` threads (0: one per processor),
// flushes every BMP written, updates the list and deletes the JPEGs whose
// every entry was restored. Returns kRestoredAll or kRestoredPart.
int RestoreListedFiles(int workers, RestoreReport report, void* context);
