// Shows the workbench as a user would see it: 20 entries with a highlighted
// row, and with "dialogs" on the command line one of each dialog open.
// Ends by itself after the given number of seconds (default 20).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command_support.h"
#include "dialogs.h"
#include "frame.h"
#include "list_view.h"
#include "resource.h"

static void CALLBACK Finish(HWND, UINT, UINT_PTR, DWORD) {
    if (MainWindow()) DestroyWindow(MainWindow());
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showState) {
    if (!InitMainWindow(instance)) return 1;
    static const char* const kNames[] = {"桜", "富士山", "photo", "夕焼け", "sample", "海辺の朝"};
    for (int i = 0; i < 20; ++i) {
        snprintf(PairList.entries[i].jpgName, kNameSize, "%s%02d.jpg", kNames[i % 6], i);
        snprintf(PairList.entries[i].bmpName, kNameSize, "%s%02d.bmp", kNames[i % 6], i);
    }
    PairList.count = 20;
    PairList.selection = 3;
    ShowWindow(MainWindow(), showState);
    UpdateWindow(MainWindow());
    if (strstr(commandLine, "dialogs")) {
        struct {
            int id;
            DLGPROC proc;
        } dialogs[] = {{IDD_VERSION, VersionDialogProc},       {IDD_JPEG_SETTINGS, JpegSettingsDialogProc},
                       {IDD_BMP_NAME, BmpNameDialogProc},      {IDD_ENTRY_EDIT, EntryEditDialogProc},
                       {IDD_FOLDER_NAME, FolderNameDialogProc}};
        // Spread out so each can be seen; they open at the client area's corner.
        const POINT places[] = {{740, 5}, {5, 420}, {190, 420}, {500, 420}, {740, 300}};
        int place = 0;
        for (const auto& dialog : dialogs) {
            HWND window = OpenModelessDialog(dialog.id, dialog.proc);
            SetWindowPos(window, HWND_TOP, places[place].x, places[place].y, 0, 0, SWP_NOSIZE);
            ++place;
        }
    }
    const char* seconds = strstr(commandLine, "seconds=");
    SetTimer(nullptr, 0, (seconds ? atoi(seconds + 8) : 20) * 1000, Finish);
    return RunMessageLoop();
}
