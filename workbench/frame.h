// The workbench's main window: class, creation, message routing, command
// dispatch and the message loop. Owns the program instance and the main
// window handle that every command repaints and owns its dialogs through.
#pragma once
#include <windows.h>

HINSTANCE ProgramInstance();
// Null before InitMainWindow and once the window is destroyed.
HWND MainWindow();

// Registers "Main Window" and creates the centred 400 x 400 main window,
// not yet shown. False when either fails (the program then ends with 0).
bool InitMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Menu commands by id; ids without a command do nothing.
void OnCommand(int commandId);
// Runs until the quit message and returns its code. No dialog-specific
// filtering: Tab, Enter and Esc in a dialog reach its controls unchanged.
int RunMessageLoop();
