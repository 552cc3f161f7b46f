// tolvane: the workbench. Converts pictures between JPEG and BMP and keeps
// the list of JPEG-to-BMP name pairs that the restorer later works from.
#include <windows.h>

#include "frame.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    // A window that cannot be created leaves nothing to do: end quietly.
    if (!InitMainWindow(instance)) return 0;
    ShowWindow(MainWindow(), showState);
    UpdateWindow(MainWindow());
    return RunMessageLoop();
}
