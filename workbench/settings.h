// The settings kept while the program runs (JPEG options, the re-encode
// folder's name), their dialogs, the version dialog and the help.
#pragma once
#include <cstddef>

struct JpegOptionValues {
    int quality;      // 1 .. 100
    int progressive;  // 0 baseline, 1 progressive
};

constexpr size_t kFolderNameSize = 40;  // 39 bytes and the terminator

// Read by the conversions at the moment they write a JPEG; changed by the
// settings dialog. Start: quality 100, baseline.
extern JpegOptionValues JpegOptions;
// The subfolder that "総jpg>jpg(K)" writes into, read once per run; changed
// by the folder name dialog. Start: "changjpg".
extern char OutputFolderName[kFolderNameSize];

// A name that makes a real subfolder of the folder it is added to: not
// empty, not only blanks and dots (Windows drops those from the end, which
// would leave the folder itself), and no separator, drive colon or other
// character Windows forbids in names. Double-byte characters are whole.
bool IsUsableFolderName(const char* name);

void JpegSettingsCommand();  // 45
void FolderNameCommand();    // 48
void HelpCommand();          // 51
void VersionCommand();       // 52
