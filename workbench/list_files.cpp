// Opening and saving the pair list file. The saved file is what an
// installer ships to the restorer, so a save either writes a list that
// reads back the same or leaves the old file exactly as it was.
#include "list_files.h"

#include <windows.h>

#include <cstdio>

#include "command_support.h"
#include "frame.h"
#include "list_check.h"
#include "list_view.h"
#include "text_encoding.h"

namespace {

const char kListTitle[] = "tvfile.txtファイル読み出し";  // for saving too
const char kListFilter[] = "tvfile.txt\0*.txt\0ALLFile(*.*)\0*.*\0";
const char kFileErrorCaption[] = "ﾌｧｲﾙｴﾗｰ";
const char kCheckCaption[] = "リストの確認";

bool ChooseListFile(char (&path)[kPathSize]) {
    return CopyString(path, kPairListFileName) && ChooseFile(MainWindow(), kListTitle, kListFilter, path);
}

void ShowFileError() { ShowWarningBox(nullptr, "ﾌｧｲﾙが開けません", kFileErrorCaption); }

// The first entry that would shift every later pair when read back, or -1.
int FirstUnsavableEntry() {
    for (int i = 0; i < PairList.count; ++i)
        if (!IsCarriableName(PairList.entries[i].jpgName) || !IsCarriableName(PairList.entries[i].bmpName)) return i;
    return -1;
}

// The folder part of a path, with its separator: what list names are
// relative to.
bool FolderOf(const char* path, char (&folder)[kPathSize]) {
    if (!CopyString(folder, path)) return false;
    folder[FileNamePart(path) - path] = '\0';
    return true;
}

const char* ProblemText(EntryProblem problem) {
    switch (problem) {
    case kEntryRestorable: break;
    case kEntryNameNotCarried: return "名前が空か、空白や制御文字を含む";
    case kEntryNameLeavesFolder: return "名前がフォルダの外を指している";
    case kEntryPathTooLong: return "フォルダと名前を合わせたパスが長すぎる";
    case kEntryJpegMissing: return "JPGファイルがフォルダにない";
    case kEntryBmpIsItsJpeg: return "BMP名がそのJPGと同じファイルになる";
    case kEntryBmpIsAnotherJpeg: return "BMP名が他の項のJPGと同じファイルになる";
    case kEntryBmpIsListFile: return "BMP名がリストファイルと同じファイルになる";
    case kEntryNameIsRestorers: return "名前が復元で使うファイル名(~tv*.tmp, tvdone.txt)の形をしている";
    case kEntryThroughLink: return "名前の途中のフォルダかファイルがリンク(ジャンクション)になっている";
    }
    return "";
}

// What the restorer would refuse in the folder the list now lies in. Told,
// not mended: the saved file stays as written, for the author to fix.
void ReportUnrestorableEntries(const char* path) {
    char folder[kPathSize], utf8Folder[kUtf8PathSize];
    if (!FolderOf(path, folder) || !AnsiToUtf8(folder, utf8Folder)) return;
    EntryProblem problems[kListCapacity];
    CheckListEntries(utf8Folder, PairList.entries, PairList.count, problems);
    int refused = 0;
    for (int i = 0; i < PairList.count; ++i) refused += problems[i] != kEntryRestorable;
    if (refused == 0) return;
    const int kShown = 5;
    char text[1024];
    snprintf(text, sizeof text, "保存しました。\nインストール時にBMPに戻せない項が%d個あります。", refused);
    int shown = 0;
    for (int i = 0; i < PairList.count && shown < kShown; ++i) {
        if (problems[i] == kEntryRestorable) continue;
        char line[128];
        snprintf(line, sizeof line, "\n項%d : %s", i, ProblemText(problems[i]));
        (void)AppendString(text, line);  // the few short lines always fit
        ++shown;
    }
    if (refused > shown) {
        char rest[32];
        snprintf(rest, sizeof rest, "\nほか%d個", refused - shown);
        (void)AppendString(text, rest);
    }
    ShowWarningBox(MainWindow(), text, kCheckCaption);
}

// Replaces the target only once the new list was written whole (the core's
// save writes beside it, then renames).
bool ReplaceWithList(const char* path) {
    // Not every file system refuses to replace these by itself.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    char utf8Path[kUtf8PathSize];
    return AnsiToUtf8(path, utf8Path) && SavePairListFile(utf8Path, PairList.entries, PairList.count);
}

}  // namespace

void OpenListCommand() {
    char path[kPathSize];
    if (!ChooseListFile(path)) return;
    // As text, as the restorer reads it.
    FILE* stream = fopen(path, "rt");
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
    if (!ReplaceWithList(path)) {
        ShowFileError();
        return;
    }
    ReportUnrestorableEntries(path);
}
