// Opening and saving the pair list file. The saved file is what an
// installer ships to the restorer, so a save either writes a list that
// reads back the same or leaves the old file exactly as it was.
#include "list_files.h"

#include <windows.h>

#include <cstdio>

#include "command_support.h"
#include "frame.h"
#include "list_view.h"

namespace {

const char kListTitle[] = "tvfile.txtファイル読み出し";  // for saving too
const char kListFilter[] = "tvfile.txt\0*.txt\0ALLFile(*.*)\0*.*\0";
const char kFileErrorCaption[] = "ﾌｧｲﾙｴﾗｰ";

bool ChooseListFile(char (&path)[kPathSize]) {
    return CopyString(path, kPairListFileName) && ChooseFile(MainWindow(), kListTitle, kListFilter, path);
}

void ShowFileError() { ShowWarningBox(nullptr, "ﾌｧｲﾙが開けません", kFileErrorCaption); }

// A name the reader would not give back as one token: empty, or holding a
// blank or a control byte. No trail byte of a double-byte character is one.
bool BreaksTheFile(const char* name) {
    if (name[0] == '\0') return true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        if (*p <= ' ' || *p == 0x7F) return true;
    return false;
}

// The first entry that would shift every later pair when read back, or -1.
int FirstUnsavableEntry() {
    for (int i = 0; i < PairList.count; ++i)
        if (BreaksTheFile(PairList.entries[i].jpgName) || BreaksTheFile(PairList.entries[i].bmpName)) return i;
    return -1;
}

bool WriteListTo(const char* path) {
    FILE* stream = fopen(path, "wb");
    if (!stream) return false;
    bool written = WritePairListFile(stream, PairList.entries, PairList.count);
    return fclose(stream) == 0 && written;
}

// Writes a temporary file beside the target and puts it in the target's
// place only once it was written and closed whole.
bool ReplaceWithList(const char* path) {
    // Not every file system refuses to replace these by itself.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    char folder[kPathSize];
    if (!CopyString(folder, path)) return false;
    const char* name = FileNamePart(path);
    folder[name - path] = '\0';
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder[0] ? folder : ".", "tvf", 0, temporary)) return false;
    if (WriteListTo(temporary) && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temporary);
    return false;
}

}  // namespace

void OpenListCommand() {
    char path[kPathSize];
    if (!ChooseListFile(path)) return;
    FILE* stream = fopen(path, "rb");
    if (!stream) {
        // The list stays as it was: nothing was read.
        ShowFileError();
        return;
    }
    PairList.count = ReadPairListFile(stream, PairList.entries, kListCapacity);
    fclose(stream);
    // The first row stays where it was, even past the end of a shorter list.
    PairList.selection = -1;
    RepaintList();
}

void SaveListCommand() {
    // Refused before anything is chosen: the user fixes the entry with Edit.
    int unsavable = FirstUnsavableEntry();
    if (unsavable >= 0) {
        char text[160];
        snprintf(text, sizeof text, "項%dのファイル名が空か、空白や制御文字を含んでいます。\n修正(E)で直してから保存してください",
                 unsavable);
        ShowWarningBox(MainWindow(), text, kFileErrorCaption);
        return;
    }
    char path[kPathSize];
    if (!ChooseListFile(path)) return;
    if (!ReplaceWithList(path)) ShowFileError();
}
