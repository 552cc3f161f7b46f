// tolvinst: run by an installer in a folder holding JPEG files and the pair
// list "tvfile.txt". Turns every listed JPEG back into its BMP, deletes the
// list and the JPEGs it restored, and exits. All the work happens in the
// first paint of a small window that shows the progress.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "bounded_string.h"
#include "restore.h"
#include "restorer_ids.h"
#include "text_encoding.h"

#ifndef RESTORER_WORKERS
#define RESTORER_WORKERS 0  // one per processor; the tests also build a one-worker copy
#endif

static size_t PrefixLength;  // of the folder prefix in characters, for the padding of the path line
static bool ListRead;
static bool WorkDone;
static int Outcome = kNoList;  // the exit code

// The window's texts are Shift-JIS. They are drawn through code page 932
// whatever the system's, so that they read the same on every Windows.
static void ShowLine(HDC dc, int x, int y, const char* text) {
    wchar_t wide[128];
    int length = MultiByteToWideChar(932, 0, text, -1, wide, 128);
    if (dc && length > 1) TextOutW(dc, x, y, wide, length - 1);
}

// On a system whose code page is not Japanese the window's own font has no
// Japanese characters: one of the same height that has them.
static void ChooseJapaneseFont(HDC dc) {
    TEXTMETRICW metrics;
    if (GetACP() == 932 || !GetTextMetricsW(dc, &metrics)) return;
    HFONT font = CreateFontW(metrics.tmHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"");
    if (font) SelectObject(dc, font);  // kept for the window's only paint
}

// The count line and a path, each followed by blanks so that a shorter text
// covers what is left of a longer earlier one ("あと10" then "あと9").
// Handed to the screen at once: the work goes on inside this paint, and
// Wine copies a window to the screen when its thread waits; a copy taken in
// the middle of drawing a line otherwise stays up (a blank count line) until
// the next file finishes. The zero wait returns at once on Windows.
static void ShowProgress(HDC dc, int left, const char* path) {
    if (!dc) return;
    char status[64];
    snprintf(status, sizeof status, "只今、変換中! あと%d", left);
    size_t length = strlen(status);
    while (length < 24) status[length++] = ' ';
    status[length] = '\0';
    ShowLine(dc, 10, 10, status);
    // Wide: the path shows right whatever the system's code page.
    wchar_t line[kUtf8PathSize + 32];
    if (path && Utf8ToWide(path, line, kUtf8PathSize)) {
        length = wcslen(line);
        while (length < PrefixLength + 30) line[length++] = L' ';
        TextOutW(dc, 10, 30, line, static_cast<int>(length));
    }
    GdiFlush();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

static void OnProgress(int left, const char* jpegPath, void* context) {
    ShowProgress(static_cast<HDC>(context), left, jpegPath);
}

// Restores the folder on all processors, or touches nothing when there was
// no list to read. dc may be null when there is nothing to draw on (hidden
// start, no window).
static void RestoreAll(HDC dc) {
    WorkDone = true;
    if (dc) {
        ChooseJapaneseFont(dc);
        SetBkColor(dc, RGB(192, 192, 192));
        SetTextColor(dc, RGB(0, 0, 0));
    }
    ShowLine(dc, 10, 10, "   いまから変換開始     ");
    Outcome = ListRead ? RestoreListedFiles(RESTORER_WORKERS, OnProgress, dc) : kNoList;
    ShowLine(dc, 10, 10, "       変換完了         ");
}

// A box with the Shift-JIS texts read through code page 932, as above.
static void ShowWarning(const char* text, const char* caption) {
    wchar_t wideText[64], wideCaption[64];
    MultiByteToWideChar(932, 0, text, -1, wideText, 64);
    MultiByteToWideChar(932, 0, caption, -1, wideCaption, 64);
    MessageBoxW(nullptr, wideText, wideCaption, MB_OK | MB_ICONWARNING);
}

// No list to read (it cannot be opened, or claims more entries than a list
// holds): the warning, unless the installer started us hidden, where a box
// would wait for nobody.
static void ReadPairList(const char* folderPrefix, int showState) {
    ListRead = folderPrefix && ReadRestoreList(folderPrefix);
    if (!ListRead && showState != SW_HIDE)
        ShowWarning("ﾌｧｲﾙが開けません", "ﾌｧｲﾙｴﾗｰ");
}

static void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    bool first = !WorkDone;
    if (first) RestoreAll(dc);
    EndPaint(window, &paint);
    if (first) DestroyWindow(window);
}

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(Outcome);
        return 0;
    case WM_ACTIVATE:
    case WM_CREATE:
    case WM_COMMAND:
    case WM_INITMENUPOPUP:
    case WM_QUERYNEWPALETTE:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The text after the program name, found as Windows' own start-up code finds
// it, in the wide command line: installers start us with one, and a folder
// holding a character the system's code page lacks survives only there.
// (MinGW's own start-up code compares signed bytes, so for an unquoted
// program path in a Japanese folder it would hand part of the path over.)
static const wchar_t* CommandLineTail() {
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        do ++p;
        while (*p && *p != L'"');
        if (*p == L'"') ++p;
    } else {
        while (*p > L' ') ++p;
    }
    while (*p && *p <= L' ') ++p;
    return p;
}

static int RunMessageLoop() {
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0)) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            WaitMessage();
        }
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    // The command line is the folder prefix, verbatim. One that does not
    // fit the path buffers names no list that could be read: the warning is
    // shown and nothing is touched (not even in the current folder).
    static char folderPrefix[kUtf8PathSize];
    bool fits = WideToUtf8(CommandLineTail(), folderPrefix, sizeof folderPrefix) &&
                ShiftJisLength(folderPrefix) < kPathSize;
    PrefixLength = fits ? wcslen(CommandLineTail()) : 0;  // no list is read behind it, no path shown
    ReadPairList(fits ? folderPrefix : nullptr, showState);

    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNCLIENT;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_RESTORER));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = "Main Window";
    if (!RegisterClassA(&windowClass)) {
        RestoreAll(nullptr);  // the installer still needs its BMP files
        return Outcome;
    }

    HDC screen = GetDC(nullptr);
    int x = (GetDeviceCaps(screen, HORZRES) - 300) / 2;
    int y = (GetDeviceCaps(screen, VERTRES) - 100) / 2;
    ReleaseDC(nullptr, screen);
    HWND window = CreateWindowExA(0, "Main Window", "JPG TO BMP Ver1.00", WS_CAPTION | WS_SYSMENU, x, y, 300, 100,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) {
        RestoreAll(nullptr);
        return Outcome;
    }
    ShowWindow(window, showState);
    UpdateWindow(window);
    if (!WorkDone) {
        // Hidden or minimised starts get no first paint: work without one.
        RestoreAll(nullptr);
        DestroyWindow(window);
    }
    return RunMessageLoop();
}
