// Procedures of the five dialog templates, each defined beside the command
// that opens it. All are modeless: opened by OpenModelessDialog, ended only
// by OK (11) or the close box.
#pragma once
#include <windows.h>

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK JpegSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BmpNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EntryEditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FolderNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// True, with the dialog destroyed, when the message ends it: OK (11) or the
// close box. Every dialog procedure ends its dialog through this.
bool EndsDialog(HWND dialog, UINT message, WPARAM wParam);
