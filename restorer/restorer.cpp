// tolvinst: run by an installer in a folder holding JPEG files and the pair
// list "tvfile.txt". Turns every listed JPEG back into its BMP, deletes the
// list and the JPEGs it restored, and exits. All the work happens in the
// first paint of a small window that shows the progress.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "bounded_string.h"
#include "convert.h"
#include "pair_list.h"
#include "restorer_ids.h"

static const int kCapacity = 100;

static char FolderPrefix[kPathSize];
static size_t PrefixLength;
static bool PrefixFits;
static char JpegPath[kPathSize];
static char BmpPath[kPathSize];
static PairEntry Pairs[kCapacity];
static int PairCount;
static bool WorkDone;

static void ShowLine(HDC dc, int x, int y, const char* text) {
    if (dc) TextOutA(dc, x, y, text, static_cast<int>(strlen(text)));
}

// Builds both paths of an entry behind the prefix. An entry is used only
// when both names stay inside the folder, both paths fit, and the BMP would
// not overwrite its own JPEG (which the deletion would then remove).
static bool BuildEntryPaths(const PairEntry& entry) {
    JpegPath[PrefixLength] = '\0';
    BmpPath[PrefixLength] = '\0';
    if (!IsPlainRelativeName(entry.jpgName) || !IsPlainRelativeName(entry.bmpName)) return false;
    bool jpegFits = AppendString(JpegPath, entry.jpgName);
    bool bmpFits = AppendString(BmpPath, entry.bmpName);
    return jpegFits && bmpFits && !SamePathIgnoringCase(JpegPath, BmpPath);
}

// Prefix + "tvfile.txt" in the JPEG path buffer; false when it cannot be
// built (a prefix too long for the buffers names no usable folder).
static bool BuildListPath() {
    JpegPath[PrefixLength] = '\0';
    return PrefixFits && AppendString(JpegPath, kPairListFileName);
}

// The JPEG path followed by blanks up to 30 bytes after the prefix, so the
// blanks cover what is left of a longer earlier line.
static void DrawJpegPath(HDC dc) {
    char line[kPathSize + 32];
    if (!CopyString(line, JpegPath)) return;
    size_t length = strlen(line);
    while (length < PrefixLength + 30) line[length++] = ' ';
    line[length] = '\0';
    ShowLine(dc, 10, 30, line);
}

// Converts every usable entry, then deletes the list file and the JPEGs
// whose BMP was written. A JPEG whose conversion failed stays, so nothing
// the installer placed is lost. dc may be null when there is nothing to
// draw on (hidden start, no window).
static void RestoreAll(HDC dc) {
    WorkDone = true;
    bool restored[kCapacity] = {};
    if (dc) {
        SetBkColor(dc, RGB(192, 192, 192));
        SetTextColor(dc, RGB(0, 0, 0));
    }
    ShowLine(dc, 10, 10, "   いまから変換開始     ");
    for (int i = 0; i < PairCount; ++i) {
        char status[64];
        wsprintfA(status, "只今、変換中! あと%d", PairCount - i);
        ShowLine(dc, 10, 10, status);
        bool usable = BuildEntryPaths(Pairs[i]);
        DrawJpegPath(dc);
        if (usable) restored[i] = ConvertJpgToBmp(BmpPath, JpegPath) != 0;
    }
    ShowLine(dc, 10, 10, "       変換完了         ");

    if (BuildListPath()) DeleteFileA(JpegPath);
    for (int i = 0; i < PairCount; ++i)
        if (restored[i] && BuildEntryPaths(Pairs[i])) DeleteFileA(JpegPath);
}

static void ReadPairList() {
    FILE* list = BuildListPath() ? fopen(JpegPath, "r") : nullptr;
    if (!list) {
        MessageBoxA(nullptr, "ﾌｧｲﾙが開けません", "ﾌｧｲﾙｴﾗｰ", MB_OK | MB_ICONWARNING);
        PairCount = 0;
        return;
    }
    PairCount = ReadPairListFile(list, Pairs, kCapacity);
    fclose(list);
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
        PostQuitMessage(0);
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
// it. MinGW's start-up code compares signed bytes, so for an unquoted program
// path in a Japanese folder it stops at the first Shift-JIS byte and hands
// the rest of the path over as the command line.
static const char* CommandLineTail() {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(GetCommandLineA());
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p)
            if (IsShiftJisLeadByte(*p) && p[1]) ++p;
        if (*p == '"') ++p;
    } else {
        while (*p > ' ') ++p;
    }
    while (*p && *p <= ' ') ++p;
    return reinterpret_cast<const char*>(p);
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
    PrefixFits = CopyString(FolderPrefix, CommandLineTail());
    PrefixLength = strlen(FolderPrefix);
    memcpy(JpegPath, FolderPrefix, PrefixLength + 1);
    memcpy(BmpPath, FolderPrefix, PrefixLength + 1);
    ReadPairList();

    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNCLIENT;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_RESTORER));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = "Main Window";
    if (!RegisterClassA(&windowClass)) return 0;

    HDC screen = GetDC(nullptr);
    int x = (GetDeviceCaps(screen, HORZRES) - 300) / 2;
    int y = (GetDeviceCaps(screen, VERTRES) - 100) / 2;
    ReleaseDC(nullptr, screen);
    HWND window = CreateWindowExA(0, "Main Window", "JPG TO BMP Ver1.00", WS_CAPTION | WS_SYSMENU, x, y, 300, 100,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) {
        RestoreAll(nullptr);  // the installer still needs its BMP files
        return 0;
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
