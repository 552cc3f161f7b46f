// Dialog procedures of the workbench. What OK takes over from the fields
// belongs to the command behind each dialog; here is the part they share.
#include "dialogs.h"

#include "resource.h"

namespace {

// OK and the close box end a dialog; nothing else does. The message loop
// does no dialog filtering, so Enter and Esc never arrive as IDOK or
// IDCANCEL, and if something sends those they are ignored too. A modeless
// dialog is destroyed, not just hidden as EndDialog would leave it.
bool EndsDialog(HWND dialog, UINT message, WPARAM wParam) {
    bool ends = message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDC_OK);
    if (ends) DestroyWindow(dialog);
    return ends;
}

INT_PTR CommonDialogProc(HWND dialog, UINT message, WPARAM wParam) {
    // TRUE on initialisation: focus goes to the first tab stop, field 81.
    if (message == WM_INITDIALOG) return TRUE;
    return EndsDialog(dialog, message, wParam);
}

}  // namespace

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return CommonDialogProc(dialog, message, wParam);
}

INT_PTR CALLBACK JpegSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return CommonDialogProc(dialog, message, wParam);
}

INT_PTR CALLBACK BmpNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return CommonDialogProc(dialog, message, wParam);
}

INT_PTR CALLBACK EntryEditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return CommonDialogProc(dialog, message, wParam);
}

INT_PTR CALLBACK FolderNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return CommonDialogProc(dialog, message, wParam);
}
