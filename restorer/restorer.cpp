// tolvinst: run by an installer in a folder holding JPEG files and the pair
// list "tvfile.txt". Turns every listed JPEG back into its BMP, deletes the
// list and the JPEGs it restored, and exits. All the work happens in the
// first paint of a small window that shows the progress.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "bounded_string.h"
#include "convert_pool.h"
#include "pair_list.h"
#include "restorer_ids.h"

static const int kCapacity = 100;

#ifndef RESTORER_WORKERS
#define RESTORER_WORKERS 0  // one per processor; the tests also build a one-worker copy
#endif

// A file as the file system knows it, whatever spelling reached it.
struct FileIdentity {
    DWORD volume, indexHigh, indexLow;
};

static char FolderPrefix[kPathSize];
static size_t PrefixLength;
static bool PrefixFits;
static char JpegPath[kPathSize];
static char BmpPath[kPathSize];
static PairEntry Pairs[kCapacity];
static int PairCount;
static bool WorkDone;
static bool Usable[kCapacity];    // passed the guards below
static bool Restored[kCapacity];  // its BMP was written
static FileIdentity Written[kCapacity];  // the BMP written, when Restored
static bool WrittenKnown[kCapacity];
static int JobEntries[kCapacity];  // pool job number -> list entry
static int FilesLeft;

static void ShowLine(HDC dc, int x, int y, const char* text) {
    if (dc) TextOutA(dc, x, y, text, static_cast<int>(strlen(text)));
}

static bool IdentifyFile(const char* path, FileIdentity* identity) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (known) *identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return known;
}

static bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

// Whether two paths name one file as Windows resolves names: ".\", trailing
// dots and blanks, and case (also of full-width letters). Used to keep
// entries that write the same BMP in list order while they do not exist yet.
static bool SameFileName(const char* a, const char* b) {
    if (SamePathIgnoringCase(a, b)) return true;
    WCHAR wide[2][kPathSize], full[2][MAX_PATH];
    const char* paths[2] = {a, b};
    for (int k = 0; k < 2; ++k) {
        if (!MultiByteToWideChar(CP_ACP, 0, paths[k], -1, wide[k], kPathSize)) return false;
        DWORD length = GetFullPathNameW(wide[k], MAX_PATH, full[k], nullptr);
        if (length == 0 || length >= MAX_PATH) return false;
        CharUpperBuffW(full[k], length);
    }
    return lstrcmpW(full[0], full[1]) == 0;
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

// Windows names one file in many spellings (".\a.jpg", "a.jpg.", full-width
// letters in either case), so the names alone cannot tell whether a BMP
// would land on a file the installer placed. The files decide: an entry
// whose BMP already exists as its own JPEG, another entry's JPEG or the
// list file is left alone, so no picture is overwritten before it is read
// and nothing written is deleted afterwards.
static void CheckEntries() {
    FileIdentity list = {}, sources[kCapacity] = {};
    bool listKnown = BuildListPath() && IdentifyFile(JpegPath, &list);
    bool sourceKnown[kCapacity] = {};
    for (int i = 0; i < PairCount; ++i) {
        Usable[i] = BuildEntryPaths(Pairs[i]);
        if (Usable[i]) sourceKnown[i] = IdentifyFile(JpegPath, &sources[i]);
    }
    for (int i = 0; i < PairCount; ++i) {
        FileIdentity target;
        if (!Usable[i] || !BuildEntryPaths(Pairs[i]) || !IdentifyFile(BmpPath, &target)) continue;
        if (listKnown && SameFile(target, list)) Usable[i] = false;
        for (int j = 0; j < PairCount; ++j)
            if (sourceKnown[j] && SameFile(target, sources[j])) Usable[i] = false;
    }
}

// A JPEG path that now holds a BMP written by some entry is that entry's
// result, not a source to delete.
static bool HoldsWrittenBmp(const char* path) {
    FileIdentity file;
    if (!IdentifyFile(path, &file)) return false;
    for (int i = 0; i < PairCount; ++i)
        if (Restored[i] && WrittenKnown[i] && SameFile(file, Written[i])) return true;
    return false;
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
    char line[kPathSize + 32];
    if (path && CopyString(line, path)) {
        length = strlen(line);
        while (length < PrefixLength + 30) line[length++] = ' ';
        line[length] = '\0';
        ShowLine(dc, 10, 30, line);
    }
    GdiFlush();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

static void OnRestored(const PoolJob& job, int status, void* context) {
    int entry = JobEntries[job.number];
    Restored[entry] = status != 0;
    if (Restored[entry]) WrittenKnown[entry] = IdentifyFile(job.target, &Written[entry]);
    ShowProgress(static_cast<HDC>(context), --FilesLeft, job.source);
}

// Converts every usable entry on all processors, then deletes the list file
// and the JPEGs whose BMP was written. A JPEG whose conversion failed stays,
// so nothing the installer placed is lost. Entries that write the same BMP,
// or read what another writes, keep their list order. dc may be null when
// there is nothing to draw on (hidden start, no window).
static void RestoreAll(HDC dc) {
    WorkDone = true;
    if (dc) {
        SetBkColor(dc, RGB(192, 192, 192));
        SetTextColor(dc, RGB(0, 0, 0));
    }
    ShowLine(dc, 10, 10, "   いまから変換開始     ");
    CheckEntries();
    FilesLeft = PairCount;
    ShowProgress(dc, FilesLeft, nullptr);
    ConvertPool* pool = StartPool(RESTORER_WORKERS, OnRestored, dc, SameFileName);
    int jobs = 0;
    for (int i = 0; i < PairCount; ++i) {
        PoolJob job = {};
        job.run = RunJpgToBmpJob;
        if (!Usable[i] || !BuildEntryPaths(Pairs[i]) || !CopyString(job.source, JpegPath) ||
            !CopyString(job.target, BmpPath)) {
            ShowProgress(dc, --FilesLeft, JpegPath);
            continue;
        }
        JobEntries[jobs++] = i;
        AddPoolJob(pool, job);
    }
    FinishPool(pool);
    ShowLine(dc, 10, 10, "       変換完了         ");

    if (BuildListPath()) DeleteFileA(JpegPath);
    for (int i = 0; i < PairCount; ++i)
        if (Restored[i] && BuildEntryPaths(Pairs[i]) && !HoldsWrittenBmp(JpegPath)) DeleteFileA(JpegPath);
}

// A start hidden by the installer must not wait on a box nobody can see:
// then the missing list is simply an empty one.
static void ReadPairList(int showState) {
    FILE* list = BuildListPath() ? fopen(JpegPath, "r") : nullptr;
    if (!list) {
        if (showState != SW_HIDE) MessageBoxA(nullptr, "ﾌｧｲﾙが開けません", "ﾌｧｲﾙｴﾗｰ", MB_OK | MB_ICONWARNING);
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
    ReadPairList(showState);

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
