// Settings, version dialog and help.
#include "settings.h"

#include "dialogs.h"

void JpegSettingsCommand() {}
void FolderNameCommand() {}
void HelpCommand() {}
void VersionCommand() {}

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    return EndsDialog(dialog, message, wParam);
}

INT_PTR CALLBACK JpegSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    return EndsDialog(dialog, message, wParam);
}

INT_PTR CALLBACK FolderNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    return EndsDialog(dialog, message, wParam);
}
