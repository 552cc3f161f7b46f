// The program's own help: a modeless window with the guide to every
// command, read from the program's resources so no file can go missing.
#include <windows.h>

#include "bounded_string.h"
#include "command_support.h"
#include "dialogs.h"
#include "frame.h"
#include "resource.h"
#include "settings.h"

namespace {

const size_t kHelpTextSize = 16384;
const size_t kSectionSize = 4096;

// The sections follow one another from IDS_HELP_FIRST up to the first id
// without a string. A text that would not fit ends at the last whole section.
void LoadHelpText(char* text, size_t size) {
    text[0] = '\0';
    char section[kSectionSize];
    for (int id = IDS_HELP_FIRST; LoadStringA(ProgramInstance(), id, section, sizeof section) > 0; ++id) {
        if (!AppendString(text, size, section)) break;
    }
}

void OnHelpInit(HWND dialog) {
    char text[kHelpTextSize];
    LoadHelpText(text, sizeof text);
    HWND field = GetDlgItem(dialog, IDC_HELP_TEXT);
    SetWindowTextA(field, text);
    // Start at the top with nothing selected, as a page to read.
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, 0);
}

INT_PTR CALLBACK HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        OnHelpInit(dialog);
        return FALSE;  // the focus is set
    }
    return EndsDialog(dialog, message, wParam);
}

}  // namespace

void HelpCommand() { OpenModelessDialog(IDD_HELP, HelpDialogProc); }
