// The JPEG options and the re-encode folder's name with their dialogs, and
// the version dialog.
#include "settings.h"

#include <windows.h>

#include <jconfig.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bounded_string.h"
#include "command_support.h"
#include "dialogs.h"
#include "frame.h"
#include "pack_rules.h"
#include "resource.h"

JpegOptionValues JpegOptions = {kStartQuality, kStartProgressive};
char OutputFolderName[kFolderNameSize] = "changjpg";

namespace {

const int kDefaultQuality = 100;
const int kQualityBytes = 3;  // "100" and no more

// The version dialog names what the program was really built with.
#define TOLVANE_STRING(x) #x
#define TOLVANE_EXPANDED_STRING(x) TOLVANE_STRING(x)
#if defined(__MINGW64__) && !defined(__clang__)
const char kCompilerLine[] = "MinGW-w64 GCC " __VERSION__;
#else
const char kCompilerLine[] = __VERSION__;
#endif
#ifdef LIBJPEG_TURBO_VERSION
const char kJpegLibraryLine[] = "libjpeg-turbo " TOLVANE_EXPANDED_STRING(LIBJPEG_TURBO_VERSION);
#else
const char kJpegLibraryLine[] = "libjpeg " TOLVANE_EXPANDED_STRING(JPEG_LIB_VERSION);
#endif

// The two build-tool lines are the fourth and fifth controls of template 1.
const int kCompilerLabel = 3, kJpegLibraryLabel = 4;
const int kPictureX = 40, kPictureY = 0, kPictureWidth = 128, kPictureHeight = 64;

bool IsForbiddenInNames(unsigned char c) { return c < 0x20 || strchr("\\/:*?\"<>|", c) != nullptr; }

// Copies at most size - 1 bytes of src, dropping a double-byte character
// that would be cut in half.
void CopyWholeCharacters(char* dst, size_t size, const char* src) {
    size_t used = WholeCharacterLength(src, size - 1);
    memcpy(dst, src, used);
    dst[used] = '\0';
}

// Leading blanks, an optional sign, then digits up to the first other byte;
// no digits gives 0. Anything outside 1 .. 100 becomes 100.
int ReadQuality(HWND dialog) {
    char text[kQualityBytes + 1] = "";
    GetDlgItemTextA(dialog, IDC_FIRST_FIELD, text, sizeof text);
    long quality = strtol(text, nullptr, 10);
    return quality < 1 || quality > 100 ? kDefaultQuality : static_cast<int>(quality);
}

void OnJpegSettingsInit(HWND dialog) {
    CheckRadioButton(dialog, IDC_PROGRESSIVE_ON, IDC_PROGRESSIVE_OFF,
                     JpegOptions.progressive == 1 ? IDC_PROGRESSIVE_ON : IDC_PROGRESSIVE_OFF);
    char quality[16];
    snprintf(quality, sizeof quality, "%d", JpegOptions.quality);
    SetDlgItemTextA(dialog, IDC_FIRST_FIELD, quality);
}

void OnFolderNameOk(HWND dialog) {
    char field[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_FIRST_FIELD, field, sizeof field);
    CopyWholeCharacters(OutputFolderName, sizeof OutputFolderName, field);
}

HWND NthControl(HWND dialog, int n) {
    HWND control = GetWindow(dialog, GW_CHILD);
    while (control && n-- > 0) control = GetWindow(control, GW_HWNDNEXT);
    return control;
}

void OnVersionInit(HWND dialog) {
    HANDLE picture = LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(IDB_VERSION), IMAGE_BITMAP, 0, 0,
                                LR_CREATEDIBSECTION);
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(picture));
    SetWindowTextA(NthControl(dialog, kCompilerLabel), kCompilerLine);
    SetWindowTextA(NthControl(dialog, kJpegLibraryLabel), kJpegLibraryLine);
}

// Unscaled, at the same place on every paint.
void PaintVersionPicture(HWND dialog, HDC dc) {
    HGDIOBJ picture = reinterpret_cast<HGDIOBJ>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!picture) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(dc, kPictureX, kPictureY, kPictureWidth, kPictureHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void OnVersionPaint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    PaintVersionPicture(dialog, dc);
    EndPaint(dialog, &paint);
}

}  // namespace

bool IsUsableFolderName(const char* name) {
    bool onlyBlanksAndDots = true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        if (IsShiftJisLeadByte(*p)) {
            if (!p[1]) return false;  // half a character
            ++p;                      // its second byte may look like "\" or "|"
            onlyBlanksAndDots = false;
            continue;
        }
        if (IsForbiddenInNames(*p)) return false;
        if (*p != ' ' && *p != '.') onlyBlanksAndDots = false;
    }
    return !onlyBlanksAndDots;
}

void JpegSettingsCommand() { OpenModelessDialog(IDD_JPEG_SETTINGS, JpegSettingsDialogProc); }
void FolderNameCommand() { OpenModelessDialog(IDD_FOLDER_NAME, FolderNameDialogProc); }
void VersionCommand() { OpenModelessDialog(IDD_VERSION, VersionDialogProc); }

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: OnVersionInit(dialog); return TRUE;
    case WM_PAINT: OnVersionPaint(dialog); return TRUE;
    case WM_PRINTCLIENT: PaintVersionPicture(dialog, reinterpret_cast<HDC>(wParam)); return TRUE;
    case WM_DESTROY: DeleteObject(reinterpret_cast<HGDIOBJ>(GetWindowLongPtrA(dialog, DWLP_USER))); return TRUE;
    default: return EndsDialog(dialog, message, wParam);
    }
}

INT_PTR CALLBACK JpegSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        OnJpegSettingsInit(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        // The radio buttons act when pressed: the close box keeps their change.
        switch (LOWORD(wParam)) {
        case IDC_PROGRESSIVE_ON: JpegOptions.progressive = 1; return TRUE;
        case IDC_PROGRESSIVE_OFF: JpegOptions.progressive = 0; return TRUE;
        case IDC_OK: JpegOptions.quality = ReadQuality(dialog); break;
        default: break;
        }
    }
    return EndsDialog(dialog, message, wParam);
}

// Taken as typed: command 47 refuses a name it cannot use, when it runs.
INT_PTR CALLBACK FolderNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_FIRST_FIELD, OutputFolderName);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_OK) OnFolderNameOk(dialog);
    return EndsDialog(dialog, message, wParam);
}
