// The main window as the program creates it: geometry, styles, the menu
// read back from the running window, command routing and the ways out.
#include <cstring>
#include <string>
#include <vector>

#include "dialog_answerer.h"
#include "resource.h"
#include "workbench_harness.h"

namespace {

std::string ClassNameOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

int ThreadWindowCount() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(), [](HWND, LPARAM counter) -> BOOL { return ++*reinterpret_cast<int*>(counter), TRUE; },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

using FrameTest = WorkbenchTest;

TEST_F(FrameTest, WindowIsCentredFixedSizeWithCaptionAndSystemMenuOnly) {
    HWND window = MainWindow();
    RECT rect;
    GetWindowRect(window, &rect);
    HDC screen = GetDC(nullptr);
    int width = GetDeviceCaps(screen, HORZRES), height = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(400, rect.right - rect.left);
    EXPECT_EQ(400, rect.bottom - rect.top);
    EXPECT_EQ((width - 400) / 2, rect.left);
    EXPECT_EQ((height - 400) / 2, rect.top);

    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(WS_CAPTION, style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP));
    EXPECT_EQ(nullptr, GetParent(window));
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ("Tolvane Ver1.02", caption);

    EXPECT_EQ("Main Window", ClassNameOf(window));
    EXPECT_EQ(static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNCLIENT), GetClassLongPtrA(window, GCL_STYLE));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(GetStockObject(LTGRAY_BRUSH)), GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(LoadCursorA(nullptr, IDC_ARROW)), GetClassLongPtrA(window, GCLP_HCURSOR));
    EXPECT_NE(0u, GetClassLongPtrA(window, GCLP_HICON));

    // The frame is a plain border, not a sizing edge.
    LRESULT edge = SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(rect.left + 1, (rect.top + rect.bottom) / 2));
    EXPECT_EQ(HTBORDER, edge);
}

struct MenuItem {
    const char* text;  // null: separator
    UINT id;
};

struct MenuColumn {
    const char* title;
    std::vector<MenuItem> items;
};

TEST_F(FrameTest, MenuMatchesTheCommandTable) {
    const std::vector<MenuColumn> expected = {
        {"ﾌｧｲﾙ(&F)", {{"開く(&O)", 21}, {"上書き保存(&S)", 22}, {nullptr, 0}, {"終了(&X)", 23}}},
        {"編集(E)", {{"追加(A)", 31}, {"削除(D)", 32}, {"修正(E)", 33}, {"全追加(S)", 34}}},
        {"変換(C)",
         {{"1jpg>bmp(J)", 41},
          {"1bmp>jpg(B)", 42},
          {nullptr, 0},
          {"総jpg>bmp(P)", 43},
          {"総bmp>jpg(M)", 44},
          {nullptr, 0},
          {"1jpg>jpg(H)", 46},
          {"総jpg>jpg(K)", 47},
          {"変換Folder(&I)", 48},
          {nullptr, 0},
          {"JPG設定(&G)", 45}}},
        {"ﾍﾙﾌﾟ(&H)", {{"ﾍﾙﾌﾟ(&W)", 51}, {"ﾊﾞｰｼﾞｮﾝ情報(&A)", 52}}},
    };
    HMENU bar = GetMenu(MainWindow());
    ASSERT_NE(nullptr, bar);
    ASSERT_EQ(static_cast<int>(expected.size()), GetMenuItemCount(bar));
    for (size_t column = 0; column < expected.size(); ++column) {
        char text[64] = {};
        GetMenuStringA(bar, column, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(expected[column].title, text);
        HMENU popup = GetSubMenu(bar, column);
        ASSERT_NE(nullptr, popup) << column;
        const std::vector<MenuItem>& items = expected[column].items;
        ASSERT_EQ(static_cast<int>(items.size()), GetMenuItemCount(popup)) << expected[column].title;
        for (size_t i = 0; i < items.size(); ++i) {
            char itemText[64] = {};
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
            info.dwTypeData = itemText;
            info.cch = sizeof itemText;
            ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &info));
            EXPECT_EQ(nullptr, info.hSubMenu);
            if (!items[i].text) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << expected[column].title << " item " << i;
                continue;
            }
            EXPECT_FALSE(info.fType & MFT_SEPARATOR) << items[i].text;
            EXPECT_STREQ(items[i].text, itemText);
            EXPECT_EQ(items[i].id, info.wID) << items[i].text;
        }
    }
}

// Both ways out end the loop with 0, ask nothing, and drop an unsaved list.
TEST_F(FrameTest, ExitCommandAndCloseBoxEndTheProgramWithZero) {
    for (bool byMenu : {true, false}) {
        SCOPED_TRACE(byMenu ? "command 23" : "close box");
        if (!MainWindow()) {
            UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
            ASSERT_TRUE(InitMainWindow(GetModuleHandleA(nullptr)));
            ShowWindow(MainWindow(), SW_SHOWNORMAL);
        }
        FillList(12);
        HWND window = MainWindow();
        DialogAnswerer answerer;  // nothing scripted: any question fails
        if (byMenu)
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        else
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(0, RunLoop());
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(nullptr, MainWindow());
        EXPECT_TRUE(answerer.Answered().empty());
    }
}

TEST_F(FrameTest, IdsWithoutACommandDoNothing) {
    FillList(4);
    PairList.selection = 2;
    PairListModel before = PairList;
    int windows = ThreadWindowCount();
    DialogAnswerer answerer;
    for (int id : {0, 1, 2, 24, 30, 49, 50, 53, 201, 0xFFFF}) {
        SendMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        OnCommand(id);
    }
    Pump();
    EXPECT_TRUE(IsWindow(MainWindow()));
    EXPECT_EQ(windows, ThreadWindowCount());
    EXPECT_EQ(0, memcmp(&before, &PairList, sizeof PairList));
    EXPECT_TRUE(answerer.Answered().empty());
}

TEST_F(FrameTest, MouseCoordinatesAreUnsigned) {
    FillList(20);
    // x = 0xFFFF is far right, not -1: no row and no button.
    SendMessageA(MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0xFFFF, RowTop(0) + 5));
    SendMessageA(MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(290, 0xFFF0));
    EXPECT_EQ(-1, PairList.selection);
    EXPECT_EQ(0, PairList.top);
    SendMessageA(MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(290, 15));
    EXPECT_EQ(8, PairList.top);
    SendMessageA(MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(387, RowTop(11) + 1));
    EXPECT_EQ(19, PairList.selection);
}

}  // namespace
