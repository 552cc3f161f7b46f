// Editing the pair list: the order of the list is made by selecting an entry
// before adding, since Add inserts at the selection.
#include "list_editing.h"

#include <cstdio>
#include <cstring>

#include "command_support.h"
#include "dialogs.h"
#include "frame.h"
#include "list_view.h"
#include "resource.h"

namespace {

// The names chosen by the last Add, waiting for its BMP name dialog's OK.
// Shared by every open BMP name dialog.
PairEntry PendingNames = {};

// Insert and delete act only below this selection; add-all appends only
// below this count. Odd bounds, but lists have long been made with them.
const int kEditableBelow = 198;
const int kAddAllBelow = 199;

const char kJpegFilter[] = "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0";
const char kAddCaption[] = "ファイルの追加";
const char kEditCaption[] = "JPG・BMPファイル名編集";
const char kFolderCaption[] = "BMP･JPGﾌｧｲﾙ";
const char kNameTooLong[] = "ファイル名は60文字以内にしてください";

// The whole text of a field into a name: stored whole or, when longer than
// a name may be, refused with the warning and not stored at all.
bool ReadNameField(HWND dialog, int id, char (&name)[kNameSize], const char* caption) {
    char typed[kPathSize] = "";
    GetDlgItemTextA(dialog, id, typed, sizeof typed);
    if (CopyString(name, typed)) return true;
    ShowWarningBox(dialog, kNameTooLong, caption);
    return false;
}

void InsertPendingAt(int index) {
    for (int i = PairList.count; i > index; --i) PairList.entries[i] = PairList.entries[i - 1];
    PairList.entries[index] = PendingNames;
    ++PairList.count;
}

// The search pattern folder\*.jpg; a drive root already ends in its separator.
bool JpegPattern(const char* folder, char (&pattern)[kPathSize]) {
    if (!CopyString(pattern, folder)) return false;
    if (*FileNamePart(pattern) != '\0' && !AppendString(pattern, "\\")) return false;
    return AppendString(pattern, "*.jpg");
}

void ReportLeftOut(int tooLong, int noRoom) {
    char text[256];
    snprintf(text, sizeof text, "追加しなかったファイルが%d個あります。\nファイル名が60文字を超える: %d個\nリストの上限に達した: %d個",
             tooLong + noRoom, tooLong, noRoom);
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

void AddEntryCommand() {
    char path[kPathSize] = "";
    if (!ChooseFile(MainWindow(), "ＪＰＧファイル読み出し", kJpegFilter, path)) return;
    if (!CopyString(PendingNames.jpgName, FileNamePart(path))) {
        ShowWarningBox(MainWindow(), kNameTooLong, kAddCaption);
        return;
    }
    DeriveBmpName(PendingNames.jpgName, PendingNames.bmpName);
    OpenModelessDialog(IDD_BMP_NAME, BmpNameDialogProc);
}

void CommitPending() {
    int selection = PairList.selection;
    if (selection < kEditableBelow) {
        if (PairList.count >= kListCapacity) {
            ShowWarningBox(MainWindow(), "リストは200件で一杯です。追加できません", kAddCaption);
        } else {
            // The selection keeps its index and so marks the new entry.
            InsertPendingAt(selection < 0 ? PairList.count : selection);
        }
    }
    RepaintList();
}

void DeleteEntryCommand() {
    int selection = PairList.selection;
    if (selection < 0 || selection >= PairList.count) return;
    if (selection < kEditableBelow) {
        for (int i = selection; i < PairList.count - 1; ++i) PairList.entries[i] = PairList.entries[i + 1];
        --PairList.count;
        if (selection == PairList.count) {
            // The last entry went: its slot is cleared and the selection moves up.
            PairList.entries[selection] = PairEntry{};
            PairList.selection = selection - 1;
        }
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
    HANDLE search = JpegPattern(folder, pattern) ? FindFirstFileA(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        ShowWarningBox(MainWindow(), "読込出来ません！", kFolderCaption);
        return;
    }
    // Every name is taken as the search returns it, in its order; a name
    // that does not fit a field is left out rather than stored cut.
    int tooLong = 0, noRoom = 0;
    do {
        if (strlen(found.cFileName) > kNameBytes) {
            ++tooLong;
        } else if (PairList.count >= kAddAllBelow) {
            ++noRoom;
        } else {
            PairEntry& next = PairList.entries[PairList.count++];
            (void)CopyString(next.jpgName, found.cFileName);  // fits: its length was checked
            DeriveBmpName(next.jpgName, next.bmpName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    if (tooLong + noRoom > 0) ReportLeftOut(tooLong, noRoom);
    ShowCompletionBox(MainWindow(), "読込完了", kFolderCaption);
    RepaintList();
}

INT_PTR CALLBACK BmpNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_FIRST_FIELD, PendingNames.bmpName);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_OK) {
        // A refused name keeps the dialog open for the user to shorten it.
        if (!ReadNameField(dialog, IDC_FIRST_FIELD, PendingNames.bmpName, kAddCaption)) return TRUE;
        EndsDialog(dialog, message, wParam);
        CommitPending();
        return TRUE;
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
