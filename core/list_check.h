// Whether each entry of a pair list would be restored from a folder as it
// stands. The restorer refuses what this finds before it converts anything;
// the workbench's save and tolvpack check report it while the author can
// still fix the list.
#pragma once
#include "pair_list.h"
#include "text_encoding.h"

enum EntryProblem {
    kEntryRestorable = 0,
    kEntryNameNotCarried,    // a name empty, over 60 bytes, holding a blank or a control byte, or not Shift-JIS
    kEntryNameLeavesFolder,  // a drive, a leading separator or a ".." component
    kEntryPathTooLong,       // folder and name together do not fit a path buffer
    kEntryJpegMissing,       // no such JPEG file in the folder
    kEntryBmpIsItsJpeg,      // the BMP would overwrite its own JPEG
    kEntryBmpIsAnotherJpeg,  // ... another entry's JPEG
    kEntryBmpIsListFile,     // ... the list file
    kEntryNameIsRestorers,   // a name of the restorer's own files: a save's temporary file, the lock
    kEntryThroughLink,       // a folder of a name, or the file, is a link that may lead out of the folder
};

// Whether a name survives being written into a list file and read back:
// 1 to 60 bytes, no blank, no control byte.
bool IsCarriableName(const char* name);

// The file a list name stands for: folderPrefix (UTF-8, ending in its
// separator, or empty: the current folder) and the name read through code
// page 932. False when the name is not Shift-JIS or the path would pass the
// lists' limit of 255 bytes, counted in Shift-JIS as the workbench counts it.
[[nodiscard]] bool ListEntryPath(char (&path)[kUtf8PathSize], const char* folderPrefix, const char* listName);

// folderPrefix is the folder the list lies in, as above; the entries' names
// are the list's Shift-JIS. problems[i] is set for each entry.
void CheckListEntries(const char* folderPrefix, const PairEntry* entries, int count, EntryProblem* problems);
