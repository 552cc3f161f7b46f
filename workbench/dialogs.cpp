// What every dialog of the workbench shares: how it ends.
#include "dialogs.h"

#include "resource.h"

// OK and the close box end a dialog; nothing else does. The message loop
// does no dialog filtering, so Enter and Esc never arrive as IDOK or
// IDCANCEL, and if something sends those they are ignored too. A modeless
// dialog is destroyed, not just hidden as EndDialog would leave it.
bool EndsDialog(HWND dialog, UINT message, WPARAM wParam) {
    bool ends = message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDC_OK);
    if (ends) DestroyWindow(dialog);
    return ends;
}
