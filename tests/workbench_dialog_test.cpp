// The five dialog templates opened the way every command opens them:
// modeless, owned by the main window, at the top-left of its client area,
// with the shared look, and ended only by OK or the close box.
#include <string>
#include <vector>

#include "command_support.h"
#include "dialogs.h"
#include "resource.h"
#include "workbench_harness.h"

namespace {

const int kLabel = -1;
const char* const kAnyText = nullptr;  // credit lines, and fields the dialog fills from the settings

struct Control {
    int id;
    const char* className;
    const char* text;
    RECT units;  // x, y, width, height in dialog units
};

struct Template {
    int id;
    DLGPROC proc;
    const char* caption;
    SIZE units;
    std::vector<Control> controls;  // in template order
};

const std::vector<Template>& Templates() {
    static const std::vector<Template> templates = {
        {IDD_VERSION, VersionDialogProc, "このソフトのバージョン", {123, 163},
         {{kLabel, "Static", "", {0, 44, 122, 92}},
          {kLabel, "Static", "Soft Name : Tolvane", {4, 48, 114, 8}},
          {kLabel, "Static", "Version 1.02", {18, 58, 92, 8}},
          {kLabel, "Static", kAnyText, {18, 80, 92, 8}},
          {kLabel, "Static", kAnyText, {18, 88, 92, 8}},
          {kLabel, "Static", kAnyText, {16, 100, 92, 8}},
          {kLabel, "Static", kAnyText, {16, 108, 92, 8}},
          {kLabel, "Static", "説明 : ﾍﾙﾌﾟ(W)", {8, 120, 104, 8}},
          {IDC_OK, "Button", "ＯＫ", {40, 142, 40, 16}}}},
        {IDD_JPEG_SETTINGS, JpegSettingsDialogProc, "JPG変換設定", {97, 126},
         {{IDC_OK, "Button", "ＯＫ", {20, 104, 40, 16}},
          {kLabel, "Static", "品質１～１００", {20, 8, 48, 8}},
          {kLabel, "Static", "数値が小さいほど圧縮率がよい", {4, 16, 96, 8}},
          {kLabel, "Static", "数値が大きいほど画質がよい", {4, 24, 96, 8}},
          {IDC_FIRST_FIELD, "Edit", kAnyText, {28, 36, 20, 12}},
          {kLabel, "Static", "プログレッシブJPEG", {16, 60, 64, 8}},
          {IDC_PROGRESSIVE_ON, "Button", "On", {24, 72, 28, 12}},
          {IDC_PROGRESSIVE_OFF, "Button", "Off", {24, 84, 28, 12}}}},
        {IDD_BMP_NAME, BmpNameDialogProc, "BMP変換ファイル名", {170, 71},
         {{kLabel, "Static", "JPGからBMPに変換するファイル名を設定", {4, 8, 124, 8}},
          {IDC_FIRST_FIELD, "Edit", "", {4, 24, 160, 12}},
          {IDC_OK, "Button", "ＯＫ", {64, 48, 40, 16}}}},
        {IDD_ENTRY_EDIT, EntryEditDialogProc, "JPG・BMPファイル名編集", {170, 105},
         {{kLabel, "Static", "JPGファイル名を修正して下さい", {4, 8, 124, 8}},
          {IDC_FIRST_FIELD, "Edit", "", {4, 24, 160, 12}},
          {kLabel, "Static", "BMPファイル名を修正して下さい", {4, 44, 124, 8}},
          {IDC_SECOND_FIELD, "Edit", "", {4, 60, 160, 12}},
          {IDC_OK, "Button", "ＯＫ", {64, 84, 40, 16}}}},
        {IDD_FOLDER_NAME, FolderNameDialogProc, "JPG>JPG変換フォルダ名", {128, 71},
         {{IDC_OK, "Button", "ＯＫ", {44, 46, 40, 16}},
          {kLabel, "Static", "JPGからJPGに変換するフォルダ名を設定", {4, 8, 124, 8}},
          {IDC_FIRST_FIELD, "Edit", kAnyText, {4, 24, 120, 12}}}},
    };
    return templates;
}

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Origin and size are converted separately, as the dialog manager does.
RECT Pixels(HWND dialog, RECT units) {
    MapDialogRect(dialog, &units);
    return {units.left, units.top, units.left + units.right, units.top + units.bottom};
}

RECT ClientRectOf(HWND control, HWND dialog) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

POINT ClientOrigin(HWND window) {
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    return origin;
}

// A template at (0, 0) puts the dialog's client area on the owner's.
void ExpectAtTopLeftOfMainWindow(HWND dialog) {
    POINT expected = ClientOrigin(MainWindow()), actual = ClientOrigin(dialog);
    EXPECT_EQ(expected.x, actual.x);
    EXPECT_EQ(expected.y, actual.y);
}

// The control holding the dialog's focus. Another program's window may
// have taken the activation meanwhile; activating the dialog again brings
// back the focus it kept.
HWND FocusOf(HWND dialog) {
    if (GetActiveWindow() != dialog) SetActiveWindow(dialog);
    return GetFocus();
}

void ExpectSameRect(const RECT& expected, const RECT& actual, const std::string& what) {
    EXPECT_TRUE(EqualRect(&expected, &actual))
        << what << ": expected (" << expected.left << "," << expected.top << ")-(" << expected.right << ","
        << expected.bottom << "), got (" << actual.left << "," << actual.top << ")-(" << actual.right << ","
        << actual.bottom << ")";
}

void ExpectControlStyle(HWND control, int id, const std::string& className) {
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (id == IDC_OK) {
        EXPECT_EQ(BS_PUSHBUTTON, style & BS_TYPEMASK) << "OK is a plain push button, not the default";
        EXPECT_FALSE(style & WS_TABSTOP) << "OK has no tab stop";
    } else if (className == "Edit") {
        // The dialog manager turns a border into a sunken client edge.
        EXPECT_TRUE((style & WS_BORDER) || (GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
        EXPECT_TRUE(style & WS_TABSTOP);
        EXPECT_FALSE(style & (ES_AUTOHSCROLL | ES_NUMBER | ES_MULTILINE)) << "fields do not scroll or filter";
    } else if (className == "Button") {
        EXPECT_EQ(BS_AUTORADIOBUTTON, style & BS_TYPEMASK);
    }
}

class DialogTest : public WorkbenchTest {};

TEST_F(DialogTest, EachTemplateOpensModelessWithItsCaptionControlsAndLook) {
    for (const Template& expected : Templates()) {
        SCOPED_TRACE(expected.caption);
        HWND dialog = OpenModelessDialog(expected.id, expected.proc);
        ASSERT_NE(nullptr, dialog);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_TRUE(IsWindowEnabled(MainWindow())) << "modeless: the main window stays usable";
        EXPECT_EQ(MainWindow(), GetWindow(dialog, GW_OWNER));
        EXPECT_EQ(expected.caption, TextOf(dialog));
        EXPECT_EQ("#32770", ClassOf(dialog));

        LONG style = GetWindowLongA(dialog, GWL_STYLE);
        LONG exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
        EXPECT_EQ(WS_CAPTION, style & WS_CAPTION);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
        EXPECT_TRUE(exStyle & WS_EX_CONTEXTHELP);
        EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);

        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ("ＭＳ Ｐゴシック", font.lfFaceName);
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(-MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72), font.lfHeight);
        ReleaseDC(nullptr, screen);

        RECT client;
        GetClientRect(dialog, &client);
        ExpectSameRect(Pixels(dialog, {0, 0, expected.units.cx, expected.units.cy}), client, "client area");
        ExpectAtTopLeftOfMainWindow(dialog);

        HWND control = GetWindow(dialog, GW_CHILD);
        for (const Control& want : expected.controls) {
            SCOPED_TRACE(want.text ? want.text : "credit line");
            ASSERT_NE(nullptr, control);
            EXPECT_EQ(want.id, GetDlgCtrlID(control));
            EXPECT_EQ(want.className, ClassOf(control));
            if (want.text) {
                EXPECT_EQ(want.text, TextOf(control));
            }
            ExpectSameRect(Pixels(dialog, want.units), ClientRectOf(control, dialog), "position");
            ExpectControlStyle(control, want.id, want.className);
            if (expected.id == IDD_VERSION && want.id == kLabel) {
                LONG kind = GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK;
                EXPECT_EQ(want.text && !want.text[0] ? SS_ETCHEDFRAME : SS_CENTER, kind);
            }
            control = GetWindow(control, GW_HWNDNEXT);
        }
        EXPECT_EQ(nullptr, control) << "more controls than expected";

        EXPECT_NE(IDC_OK, LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0))) << "OK is not the default";
        if (HWND field = GetDlgItem(dialog, IDC_FIRST_FIELD)) {
            EXPECT_EQ(field, FocusOf(dialog)) << "focus starts in field 81";
            EXPECT_EQ(field, GetNextDlgTabItem(dialog, nullptr, FALSE));
        }
        SendMessageA(GetDlgItem(dialog, IDC_OK), BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindow(dialog)) << "OK ends the dialog";
    }
}

TEST_F(DialogTest, EveryTemplateEndsByItsCloseBox) {
    for (const Template& expected : Templates()) {
        HWND dialog = OpenModelessDialog(expected.id, expected.proc);
        ASSERT_NE(nullptr, dialog);
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        Pump();
        EXPECT_FALSE(IsWindow(dialog)) << expected.caption;
    }
}

TEST_F(DialogTest, TwoCopiesOpenAtOnceOneOnTopOfTheOther) {
    HWND first = OpenModelessDialog(IDD_BMP_NAME, BmpNameDialogProc);
    HWND second = OpenModelessDialog(IDD_BMP_NAME, BmpNameDialogProc);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_TRUE(IsWindowVisible(second));
    RECT a, b;
    GetWindowRect(first, &a);
    GetWindowRect(second, &b);
    EXPECT_TRUE(EqualRect(&a, &b));
    ExpectAtTopLeftOfMainWindow(second);
    bool secondAbove = false;
    for (HWND w = GetWindow(second, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == first) secondAbove = true;
    EXPECT_TRUE(secondAbove);

    SendMessageA(GetDlgItem(second, IDC_OK), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_TRUE(IsWindow(first)) << "each copy ends on its own";
    DestroyWindow(first);
}

// Keys go through the program's own loop, which does no dialog filtering.
TEST_F(DialogTest, TabEnterAndEscapeDoNotEndADialog) {
    HWND dialog = OpenModelessDialog(IDD_ENTRY_EDIT, EntryEditDialogProc);
    ASSERT_NE(nullptr, dialog);
    HWND field = GetDlgItem(dialog, IDC_FIRST_FIELD);
    ASSERT_EQ(field, FocusOf(dialog));
    for (WPARAM key : {VK_TAB, VK_RETURN, VK_ESCAPE}) {
        PostMessageA(field, WM_KEYDOWN, key, 1);
        PostMessageA(field, WM_KEYUP, key, 0xC0000001);
    }
    PostQuitMessage(7);
    EXPECT_EQ(7, RunLoop());
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(field, FocusOf(dialog)) << "Tab does not move between controls";

    // Nor do the ids a dialog-aware loop would make of Enter and Esc.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_TRUE(IsWindow(dialog));

    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogTest, VersionPictureIsA128By64SixteenColourBitmap) {
    HANDLE picture = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_VERSION), IMAGE_BITMAP, 0, 0,
                                LR_CREATEDIBSECTION);
    ASSERT_NE(nullptr, picture);
    DIBSECTION section = {};
    ASSERT_EQ(static_cast<int>(sizeof section), GetObjectA(picture, sizeof section, &section));
    EXPECT_EQ(128, section.dsBm.bmWidth);
    EXPECT_EQ(64, section.dsBm.bmHeight);
    EXPECT_EQ(4, section.dsBmih.biBitCount);
    DeleteObject(picture);
    EXPECT_NE(nullptr, LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_WORKBENCH), IMAGE_ICON, 32, 32, 0));
}

}  // namespace
