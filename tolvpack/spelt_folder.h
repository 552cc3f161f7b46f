// A folder as the restorer meets it on Windows: every file under its
// Shift-JIS name, which is how the list names them. On Windows that is the
// folder itself. On Linux the names on disk are UTF-8, so the core's check
// and restore run in a view: a working folder of links named in Shift-JIS,
// whose changes (BMPs written, JPEGs and the list deleted or replaced) are
// carried back to the real names afterwards.
#pragma once
#include <vector>

#include "folder_files.h"

struct SpeltFolder {
    char folder[kPathSize];  // the real folder
    char prefix[kPathSize];  // the folder the core works in, with its separator
    char view[kPathSize];    // the working folder; empty when there is none
    std::vector<FolderFile> linked;
};

// inside: the working folder lies in the folder itself (same disk, so
// changes can be renamed back); otherwise in the temporary folder, for a
// look that changes nothing. False when it cannot be made.
bool OpenSpeltFolder(const char* folder, bool inside, SpeltFolder* spelt);
// carryBack: give every change made in the view to the real folder.
void CloseSpeltFolder(SpeltFolder* spelt, bool carryBack);
