// Shared procedures of the workbench commands.
#include "command_support.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include "frame.h"

bool ChooseFile(HWND owner, const char* title, const char* filter, char (&name)[kPathSize]) {
    // The dialog writes into its buffer even when it fails (a typed path too
    // long for it leaves the size it needed there), so it gets a copy.
    char chosen[kPathSize];
    if (!CopyString(chosen, name)) return false;
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = kPathSize;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_HIDEREADONLY;
    return GetSaveFileNameA(&dialog) && CopyString(name, chosen);
}

static int CALLBACK OnBrowserEvent(HWND browser, UINT event, LPARAM, LPARAM) {
    if (event == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("c:\\"));
    return 0;
}

bool ChooseFolder(const char* title, char (&path)[kPathSize]) {
    // Without an owner the main window stays usable while the browser is open.
    HRESULT com = CoInitialize(nullptr);
    char displayName[MAX_PATH];
    BROWSEINFOA browse = {};
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = OnBrowserEvent;
    bool chosen = false;
    if (LPITEMIDLIST folder = SHBrowseForFolderA(&browse)) {
        char longest[MAX_PATH];
        chosen = SHGetPathFromIDListA(folder, longest) && CopyString(path, longest);
        CoTaskMemFree(folder);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}

HWND OpenModelessDialog(int templateId, DLGPROC dialogProc, LPARAM param) {
    HWND dialog = CreateDialogParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId), MainWindow(), dialogProc, param);
    if (dialog) ShowWindow(dialog, SW_SHOWNORMAL);
    return dialog;
}

void RepaintList() {
    HWND window = MainWindow();
    if (!window) return;
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

void ShowWarningBox(HWND owner, const char* text, const char* caption) {
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONWARNING);
}

void ShowCompletionBox(HWND owner, const char* text, const char* caption) {
    MessageBoxA(owner, text, caption, MB_OK);
}
