// What the main window itself shows: clicks draw straight onto it, the
// right button and RepaintList repaint it at once. These read the screen,
// so ctest runs them one at a time.
#include "command_support.h"
#include "workbench_harness.h"

namespace {

const COLORREF kMarker = RGB(255, 0, 0);

int ClientBottom() {
    RECT client;
    GetClientRect(MainWindow(), &client);
    return client.bottom - 1;
}

bool Highlighted(const Canvas& view, int row) { return view.All(6, RowTop(row), 6, RowTop(row) + 17, kBlack); }
bool Plain(const Canvas& view, int row) {
    return view.All(6, RowTop(row), 6, RowTop(row) + 17, kWhite) && view.Any(40, RowTop(row), 199, RowTop(row) + 17, kBlack);
}

void Mark(int x, int y) {
    HDC dc = GetDC(MainWindow());
    SetPixel(dc, x, y, kMarker);
    ReleaseDC(MainWindow(), dc);
}

class OnScreen : public WorkbenchTest {
protected:
    void SetUp() override {
        WorkbenchTest::SetUp();
        SetWindowPos(MainWindow(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        FillList(20);
        RepaintList();
    }
    Canvas& Shown() {
        shown_.CopyFromWindow(MainWindow());
        return shown_;
    }
    static bool UpdatePending() { return GetUpdateRect(MainWindow(), nullptr, FALSE) != FALSE; }
    Canvas shown_;
};

TEST_F(OnScreen, PaintMessageDrawsTheListView) {
    Canvas painted;
    PaintListView(painted.Dc());
    // The list and the buttons; the rest of the client area is background.
    Canvas& shown = Shown();
    EXPECT_TRUE(shown.Same(painted, 5, 43, 388, ClientBottom()));
    EXPECT_TRUE(shown.Same(painted, 389, 5, 389, 347));
    EXPECT_TRUE(shown.Same(painted, 270, 6, 319, 23));
    EXPECT_TRUE(shown.Same(painted, 330, 6, 379, 23));
}

TEST_F(OnScreen, ClickHighlightsStraightOntoTheWindow) {
    Mark(380, RowTop(10) + 5);  // survives anything but a full repaint
    OnListClick(100, RowTop(2) + 5);
    EXPECT_EQ(2, PairList.selection);
    EXPECT_FALSE(UpdatePending());
    EXPECT_TRUE(Highlighted(Shown(), 2));
    EXPECT_EQ(kMarker, Shown().At(380, RowTop(10) + 5));

    OnListClick(100, RowTop(5) + 5);
    EXPECT_EQ(5, PairList.selection);
    Canvas& view = Shown();
    EXPECT_TRUE(Plain(view, 2));
    EXPECT_TRUE(Highlighted(view, 5));
    EXPECT_EQ(kMarker, view.At(380, RowTop(10) + 5));

    OnListClick(100, RowTop(5) + 5);
    EXPECT_EQ(5, PairList.selection);
    EXPECT_TRUE(Highlighted(Shown(), 5));

    RepaintList();
    EXPECT_EQ(kWhite, Shown().At(380, RowTop(10) + 5));
    EXPECT_TRUE(Highlighted(Shown(), 5));
}

TEST_F(OnScreen, ClickAfterScrollingRedrawsOnlyVisibleRows) {
    OnListClick(100, RowTop(1) + 5);
    OnListClick(290, 15);  // UP: entry 1 is out of view
    Mark(380, RowTop(1) + 5);
    OnListClick(100, RowTop(3) + 5);
    EXPECT_EQ(11, PairList.selection);
    EXPECT_EQ(kMarker, Shown().At(380, RowTop(1) + 5)) << "row 1 shows entry 9, not the old selection";
    EXPECT_TRUE(Highlighted(Shown(), 3));
}

TEST_F(OnScreen, RightButtonClearsTheSelectionAndRepaints) {
    SendMessageA(MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, RowTop(3) + 5));
    EXPECT_EQ(3, PairList.selection);
    EXPECT_TRUE(Highlighted(Shown(), 3));
    SendMessageA(MainWindow(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 370));
    EXPECT_EQ(-1, PairList.selection);
    EXPECT_FALSE(UpdatePending());
    EXPECT_TRUE(Plain(Shown(), 3));
    SendMessageA(MainWindow(), WM_LBUTTONUP, 0, MAKELPARAM(100, RowTop(4) + 5));
    SendMessageA(MainWindow(), WM_RBUTTONUP, 0, MAKELPARAM(100, RowTop(4) + 5));
    EXPECT_EQ(-1, PairList.selection);
}

TEST_F(OnScreen, RepaintListPaintsAtOnce) {
    PairList.count = 7;
    RepaintList();
    EXPECT_FALSE(UpdatePending());
    EXPECT_TRUE(Plain(Shown(), 6));
    EXPECT_TRUE(Shown().All(6, RowTop(7), 388, RowTop(7) + 17, kWhite));
}

}  // namespace
