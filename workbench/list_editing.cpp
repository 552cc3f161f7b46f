// Editing the pair list: the order of the list is made by selecting an entry
// before adding, since Add inserts at the selection.
#include "list_editing.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "command_support.h"
#include "dialogs.h"
#include "frame.h"
#include "list_check.h"
#include "list_view.h"
#include "resource.h"

namespace {

// Insert and delete act only below this selection; add-all appends only
// below this count. Odd bounds, but lists have long been made with them.
const int kEditableBelow = 198;
const int kAddAllBelow = 199;

const char kJpegFilter[] = "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0";
const char kAddCaption[] = "ファイルの追加";
const char kDeleteCaption[] = "ファイルの削除";
const char kEditCaption[] = "JPG・BMPファイル名編集";
const char kFolderCaption[] = "BMP･JPGﾌｧｲﾙ";
const char kNameTooLong[] = "ファイル名は60文字以内にしてください";

// Why "全追加" left a file out, in the order its box lists them.
enum LeftOutReason { kLeftTooLong, kLeftNotCarried, kLeftNotSpelt, kLeftNoRoom, kLeftOutReasons };
const char* const kLeftOutTexts[kLeftOutReasons] = {
    "ファイル名が60文字を超える",
    "ファイル名に空白か制御文字がある",
    "ファイル名にShift-JISで表せない文字がある",
    "リストの上限に達した",
};

struct LeftOutFiles {
    int count[kLeftOutReasons] = {};
    char first[kLeftOutReasons][MAX_PATH] = {};
};

// The whole text of a field into a name: stored whole or, when longer than
// a name may be, refused with the warning and not stored at all.
bool ReadNameField(HWND dialog, int id, char (&name)[kNameSize], const char* caption) {
    char typed[kPathSize] = "";
    GetDlgItemTextA(dialog, id, typed, sizeof typed);
    if (CopyString(name, typed)) return true;
    ShowWarningBox(dialog, kNameTooLong, caption);
    return false;
}

void InsertEntryAt(int index, const PairEntry& entry) {
    for (int i = PairList.count; i > index; --i) PairList.entries[i] = PairList.entries[i - 1];
    PairList.entries[index] = entry;
    ++PairList.count;
}

// Stores a new entry at the selection (or at the end when there is none).
void CommitNewEntry(const PairEntry& entry) {
    int selection = PairList.selection;
    if (selection >= kEditableBelow) {
        ShowWarningBox(MainWindow(), "項198と項199の位置には追加できません。\n選択を外すと最後に追加します", kAddCaption);
    } else if (PairList.count >= kListCapacity) {
        ShowWarningBox(MainWindow(), "リストは200件で一杯です。追加できません", kAddCaption);
    } else {
        // The selection keeps its index and so marks the new entry.
        InsertEntryAt(selection < 0 ? PairList.count : selection, entry);
    }
    RepaintList();
}

// The pair a BMP name dialog was opened for; it ends with the dialog.
// Null for a dialog opened without one.
PairEntry* PairOf(HWND dialog) { return reinterpret_cast<PairEntry*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void OnBmpNameInit(HWND dialog, PairEntry* pair) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(pair));
    if (pair) SetDlgItemTextA(dialog, IDC_FIRST_FIELD, pair->bmpName);
}

// A refused name keeps the dialog open for the user to shorten it.
void OnBmpNameOk(HWND dialog, WPARAM wParam) {
    PairEntry entry = *PairOf(dialog);
    if (!ReadNameField(dialog, IDC_FIRST_FIELD, entry.bmpName, kAddCaption)) return;
    EndsDialog(dialog, WM_COMMAND, wParam);
    CommitNewEntry(entry);
}

// folder\name; a drive root already ends in its separator.
bool FolderFilePath(const char* folder, const char* name, char* path, size_t size) {
    if (!CopyString(path, size, folder)) return false;
    if (*FileNamePart(path) != '\0' && !AppendString(path, size, "\\")) return false;
    return AppendString(path, size, name);
}

// The search hands out names in the system's code page: a character it
// lacks comes back as "?" or as a look-alike ("café" as "cafe"), and that
// name then opens no file, or another one. Only a name that opens the very
// file found can go into the list.
bool NameOpensFoundFile(const char* folder, const WIN32_FIND_DATAA& found) {
    if (strpbrk(found.cFileName, "?*")) return false;
    char path[kPathSize + kNameSize];
    WIN32_FILE_ATTRIBUTE_DATA opened;
    if (!FolderFilePath(folder, found.cFileName, path, sizeof path) ||
        !GetFileAttributesExA(path, GetFileExInfoStandard, &opened))
        return false;
    return !(opened.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && opened.nFileSizeLow == found.nFileSizeLow &&
           opened.nFileSizeHigh == found.nFileSizeHigh &&
           CompareFileTime(&opened.ftLastWriteTime, &found.ftLastWriteTime) == 0 &&
           CompareFileTime(&opened.ftCreationTime, &found.ftCreationTime) == 0;
}

// Appends the found file to the list, or tells why it cannot go there.
// Only names the list file carries whole, and that name the file itself.
bool AddFoundFile(const char* folder, const WIN32_FIND_DATAA& found, LeftOutReason& reason) {
    if (strlen(found.cFileName) > kNameBytes) reason = kLeftTooLong;
    else if (!IsCarriableName(found.cFileName)) reason = kLeftNotCarried;
    else if (!NameOpensFoundFile(folder, found)) reason = kLeftNotSpelt;
    else if (PairList.count >= kAddAllBelow) reason = kLeftNoRoom;
    else {
        PairEntry& next = PairList.entries[PairList.count++];
        (void)CopyString(next.jpgName, found.cFileName);  // fits: its length was checked
        DeriveBmpName(next.jpgName, next.bmpName);
        return true;
    }
    return false;
}

// Only the reasons that occurred, each with the first file it left out.
void ReportLeftOut(const LeftOutFiles& leftOut) {
    int total = 0;
    for (int count : leftOut.count) total += count;
    if (total == 0) return;
    char text[2048];
    snprintf(text, sizeof text, "追加しなかったファイルが%d個あります。", total);
    for (int reason = 0; reason < kLeftOutReasons; ++reason) {
        if (leftOut.count[reason] == 0) continue;
        char line[512];
        snprintf(line, sizeof line, "\n%s: %d個\n　最初のファイル : %s", kLeftOutTexts[reason], leftOut.count[reason],
                 leftOut.first[reason]);
        if (!AppendString(text, line)) break;
    }
    ShowWarningBox(MainWindow(), text, kFolderCaption);
}

}  // namespace

void DeriveBmpName(const char* jpgName, char (&bmpName)[kNameSize]) {
    size_t length = strnlen(jpgName, kNameBytes);
    size_t kept = length < 3 ? 0 : length - 3;
    // At most 57 bytes, so the name and "bmp" always fit.
    size_t end = WholeCharacterLength(jpgName, kept);
    memmove(bmpName, jpgName, end);
    memcpy(bmpName + end, "bmp", sizeof "bmp");
}

// Each BMP name dialog owns the names it was opened for, so several can be
// open at once and each OK stores its own pair.
void AddEntryCommand() {
    char path[kPathSize] = "";
    if (!ChooseFile(MainWindow(), "ＪＰＧファイル読み出し", kJpegFilter, path)) return;
    PairEntry chosen = {};
    if (!CopyString(chosen.jpgName, FileNamePart(path))) {
        ShowWarningBox(MainWindow(), kNameTooLong, kAddCaption);
        return;
    }
    if (!IsCarriableName(chosen.jpgName)) {
        ShowWarningBox(MainWindow(), "空白や制御文字を含むファイル名は追加できません", kAddCaption);
        return;
    }
    DeriveBmpName(chosen.jpgName, chosen.bmpName);
    PairEntry* pending = new (std::nothrow) PairEntry(chosen);
    if (pending && !OpenModelessDialog(IDD_BMP_NAME, BmpNameDialogProc, reinterpret_cast<LPARAM>(pending)))
        delete pending;
}

void DeleteEntryCommand() {
    int selection = PairList.selection;
    if (selection < 0 || selection >= PairList.count) return;
    if (selection >= kEditableBelow) {
        ShowWarningBox(MainWindow(), "項198と項199は削除できません", kDeleteCaption);
        return;
    }
    for (int i = selection; i < PairList.count - 1; ++i) PairList.entries[i] = PairList.entries[i + 1];
    --PairList.count;
    if (selection == PairList.count) {
        // The last entry went: its slot is cleared and the selection moves up.
        PairList.entries[selection] = PairEntry{};
        PairList.selection = selection - 1;
    }
    RepaintList();
}

void EditEntryCommand() {
    if (PairList.selection < 0) return;
    OpenModelessDialog(IDD_ENTRY_EDIT, EntryEditDialogProc);
}

void AddFolderCommand() {
    char folder[kPathSize] = "";
    if (!ChooseFolder("JPGファイルのフォルダを選択", folder)) return;
    char pattern[kPathSize];
    WIN32_FIND_DATAA found;
    HANDLE search = FolderFilePath(folder, "*.jpg", pattern, sizeof pattern) ? FindFirstFileA(pattern, &found)
                                                                               : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        ShowWarningBox(MainWindow(), "読込出来ません！", kFolderCaption);
        return;
    }
    // In the search's order. Folders named like a JPEG are no files to add.
    LeftOutFiles leftOut;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        LeftOutReason reason;
        if (AddFoundFile(folder, found, reason)) continue;
        if (leftOut.count[reason]++ == 0) (void)CopyString(leftOut.first[reason], found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    ReportLeftOut(leftOut);
    ShowCompletionBox(MainWindow(), "読込完了", kFolderCaption);
    RepaintList();
}

INT_PTR CALLBACK BmpNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: OnBmpNameInit(dialog, reinterpret_cast<PairEntry*>(lParam)); return TRUE;
    case WM_DESTROY:
        delete PairOf(dialog);
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_OK || !PairOf(dialog)) break;
        OnBmpNameOk(dialog, wParam);
        return TRUE;
    default: break;
    }
    return EndsDialog(dialog, message, wParam);
}

INT_PTR CALLBACK EntryEditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        int selection = PairList.selection;
        if (selection >= 0 && selection < PairList.count) {
            SetDlgItemTextA(dialog, IDC_FIRST_FIELD, PairList.entries[selection].jpgName);
            SetDlgItemTextA(dialog, IDC_SECOND_FIELD, PairList.entries[selection].bmpName);
        }
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_OK) {
        // Written to the entry selected now, which may not be the one shown.
        PairEntry edited;
        if (!ReadNameField(dialog, IDC_FIRST_FIELD, edited.jpgName, kEditCaption) ||
            !ReadNameField(dialog, IDC_SECOND_FIELD, edited.bmpName, kEditCaption))
            return TRUE;
        int selection = PairList.selection;
        if (selection >= 0 && selection < PairList.count) PairList.entries[selection] = edited;
        EndsDialog(dialog, message, wParam);
        RepaintList();
        return TRUE;
    }
    return EndsDialog(dialog, message, wParam);
}
