// Editing the pair list.
#include "list_editing.h"

#include "dialogs.h"

void AddEntryCommand() {}
void DeleteEntryCommand() {}
void EditEntryCommand() {}
void AddFolderCommand() {}

INT_PTR CALLBACK BmpNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    return EndsDialog(dialog, message, wParam);
}

INT_PTR CALLBACK EntryEditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    return EndsDialog(dialog, message, wParam);
}
