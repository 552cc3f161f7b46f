// What every workbench command shares: the file and folder choosers,
// modeless dialogs, the list repaint and the two kinds of message box.
#pragma once
#include <windows.h>

#include "bounded_string.h"

// The save-style file dialog, used for reading as well as writing. `filter`
// holds two display-name and pattern pairs, NUL-separated, ending in a
// double NUL; `name` holds the initial name and receives the choice.
// False when the user cancels or the choice does not fit `name`: the
// command then ends, and `name` holds exactly what it held before.
bool ChooseFile(HWND owner, const char* title, const char* filter, char (&name)[kPathSize]);

// The folder browser, starting at "c:\". False when cancelled, when the
// choice is no file-system folder, or when its path does not fit the
// command's 256-byte buffer; `path` is then left as it was.
bool ChooseFolder(const char* title, char (&path)[kPathSize]);

// Creates a dialog from the program's templates, owned by the main window,
// at the top-left corner of its client area, and returns at once. `param`
// reaches the dialog procedure with WM_INITDIALOG.
HWND OpenModelessDialog(int templateId, DLGPROC dialogProc, LPARAM param = 0);

// Paints the whole list view again, now (no erase: the paint covers it).
void RepaintList();

// Failures: warning icon and OK. Completions: no icon, OK.
void ShowWarningBox(HWND owner, const char* text, const char* caption);
void ShowCompletionBox(HWND owner, const char* text, const char* caption);
