// The list view painted into a memory bitmap and clicked, at the exact
// pixels of its layout: grid, white list area, count line, buttons, rows
// and the 383 x 18 highlight.
#include <cstdio>
#include <cstring>
#include <memory>

#include "command_support.h"
#include "workbench_harness.h"

namespace {

const COLORREF kUntouched = RGB(1, 2, 3);  // the canvas before painting
const COLORREF kGrey = RGB(192, 192, 192);

// A row as the layout describes it, drawn on its own: box, then the index
// as "%3d" at x 6 and the names at x 40 and x 200.
void DrawExpectedRow(Canvas& canvas, int row, int index, bool highlighted) {
    HDC dc = canvas.Dc();
    PatBlt(dc, 6, RowTop(row), 383, 18, highlighted ? BLACKNESS : WHITENESS);
    SetBkMode(dc, highlighted ? TRANSPARENT : OPAQUE);
    SetBkColor(dc, kWhite);
    SetTextColor(dc, highlighted ? kWhite : kBlack);
    char number[8];
    snprintf(number, sizeof number, "%3d", index);
    TextOutA(dc, 6, RowTop(row), number, static_cast<int>(strlen(number)));
    std::string jpg = JpegNameOf(index), bmp = BmpNameOf(index);
    TextOutA(dc, 40, RowTop(row), jpg.c_str(), static_cast<int>(jpg.size()));
    TextOutA(dc, 200, RowTop(row), bmp.c_str(), static_cast<int>(bmp.size()));
}

::testing::AssertionResult RowShows(const Canvas& actual, int row, int index, bool highlighted = false) {
    Canvas expected;
    DrawExpectedRow(expected, row, index, highlighted);
    if (actual.Same(expected, 6, RowTop(row), 388, RowTop(row) + 17)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "row " << row << " does not show entry " << index
                                         << (highlighted ? " highlighted" : "");
}

::testing::AssertionResult RowIsEmpty(const Canvas& actual, int row) {
    if (actual.All(6, RowTop(row), 388, RowTop(row) + 17, kWhite)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "row " << row << " is not white";
}

// Rows first .. first+shown-1 show entries from `firstIndex`; the rest are white.
void ExpectRows(const Canvas& canvas, int firstIndex, int shown) {
    for (int row = 0; row < 16; ++row) {
        if (row < shown)
            EXPECT_TRUE(RowShows(canvas, row, firstIndex + row));
        else
            EXPECT_TRUE(RowIsEmpty(canvas, row));
    }
}

void ExpectNoHighlight(const Canvas& canvas) {
    for (int row = 0; row < 16; ++row) EXPECT_FALSE(canvas.All(6, RowTop(row), 6, RowTop(row) + 17, kBlack)) << row;
}

void ClickUp() { OnListClick(290, 15); }
void ClickDown() { OnListClick(350, 15); }
void ClickRow(int row) { OnListClick(100, RowTop(row) + 9); }

class ListViewTest : public WorkbenchTest {
protected:
    // Paints the view as it is now into a fresh canvas.
    void Paint() {
        canvas_ = std::make_unique<Canvas>();
        PaintListView(canvas_->Dc());
    }
    const Canvas& View() const { return *canvas_; }
    std::unique_ptr<Canvas> canvas_;
};

TEST_F(ListViewTest, EmptyListShowsGridCountHeaderAndButtons) {
    Paint();
    const Canvas& view = View();
    // 19 horizontal lines from x 5 to x 388, verticals at x 5 and 389 from y 5 to 347.
    for (int y = 5; y <= 347; y += 19) EXPECT_TRUE(view.All(5, y, 388, y, kBlack)) << "line y " << y;
    EXPECT_TRUE(view.All(5, 5, 5, 347, kBlack));
    EXPECT_TRUE(view.All(389, 5, 389, 347, kBlack));
    EXPECT_EQ(kUntouched, view.At(389, 348));
    EXPECT_EQ(kUntouched, view.At(390, 5));
    EXPECT_EQ(kUntouched, view.At(4, 5));
    EXPECT_EQ(kUntouched, view.At(5, 4));
    // The white list area reaches y 385, below the grid.
    EXPECT_TRUE(view.All(5, 348, 388, 385, kWhite));
    EXPECT_EQ(kUntouched, view.At(5, 386));
    for (int row = 0; row < 16; ++row) EXPECT_TRUE(RowIsEmpty(view, row));

    // Count line and header on grey, drawn opaque over whatever was there.
    Canvas expected;
    SetBkColor(expected.Dc(), kGrey);
    const char countLine[] = "** 総ファイル数    0 **";
    const char header[] = " 項  Jpgのファイル名      Bmpのファイル名";
    TextOutA(expected.Dc(), 6, 6, countLine, static_cast<int>(strlen(countLine)));
    TextOutA(expected.Dc(), 6, 25, header, static_cast<int>(strlen(header)));
    EXPECT_TRUE(view.Same(expected, 6, 6, 268, 23));
    EXPECT_TRUE(view.Same(expected, 6, 25, 388, 42));
    EXPECT_TRUE(view.Any(6, 6, 268, 23, kGrey));

    // Buttons: white boxes 50 x 18 with their labels; the space around them is not painted.
    EXPECT_TRUE(view.All(270, 6, 284, 23, kWhite));
    EXPECT_TRUE(view.All(319, 6, 319, 23, kWhite));
    EXPECT_TRUE(view.All(330, 6, 332, 23, kWhite));
    EXPECT_TRUE(view.All(379, 6, 379, 23, kWhite));
    EXPECT_FALSE(view.All(285, 6, 318, 23, kWhite)) << "UP label";
    EXPECT_FALSE(view.All(333, 6, 378, 23, kWhite)) << "DOWN label";
    for (int x : {269, 320, 329, 380}) EXPECT_EQ(kUntouched, view.At(x, 15)) << x;
}

TEST_F(ListViewTest, UpShowsLaterEntriesAndLeavesEmptyRowsWhite) {
    FillList(20);
    Paint();
    ExpectRows(View(), 0, 16);
    ClickUp();
    EXPECT_EQ(8, PairList.top);
    Paint();
    ExpectRows(View(), 8, 12);
    ClickUp();
    EXPECT_EQ(16, PairList.top);
    Paint();
    ExpectRows(View(), 16, 4);
}

TEST_F(ListViewTest, ScrollingPastTheEndAndBack) {
    FillList(5);
    for (int i = 0; i < 3; ++i) ClickUp();
    EXPECT_EQ(24, PairList.top);
    Paint();
    ExpectRows(View(), 24, 0);
    for (int i = 0; i < 3; ++i) ClickDown();
    EXPECT_EQ(0, PairList.top);
    Paint();
    ExpectRows(View(), 0, 5);
    ClickDown();
    EXPECT_EQ(0, PairList.top);
}

TEST_F(ListViewTest, FullListStopsAtTheLastSixteenEntries) {
    FillList(200);
    for (int i = 0; i < 30; ++i) ClickUp();
    EXPECT_EQ(184, PairList.top);
    Paint();
    ExpectRows(View(), 184, 16);
    Canvas expected;
    SetBkColor(expected.Dc(), kGrey);
    const char countLine[] = "** 総ファイル数  200 **";
    TextOutA(expected.Dc(), 6, 6, countLine, static_cast<int>(strlen(countLine)));
    EXPECT_TRUE(View().Same(expected, 6, 6, 268, 23));
}

TEST_F(ListViewTest, HighlightIsABlackBoxWithWhiteTexts) {
    FillList(20);
    PairList.selection = 3;
    Paint();
    const Canvas& view = View();
    EXPECT_TRUE(RowShows(view, 3, 3, true));
    int top = RowTop(3);
    EXPECT_TRUE(view.All(6, top, 6, top + 17, kBlack));      // left column of the 383 x 18 box
    EXPECT_TRUE(view.All(388, top, 388, top + 17, kBlack));  // right column
    EXPECT_TRUE(view.All(6, top, 388, top, kBlack));
    EXPECT_TRUE(view.All(6, top + 17, 388, top + 17, kBlack));
    EXPECT_TRUE(view.All(5, top - 1, 389, top - 1, kBlack));  // grid lines around it stay
    EXPECT_TRUE(view.All(5, top + 18, 389, top + 18, kBlack));
    EXPECT_TRUE(view.Any(6, top, 39, top + 17, kWhite)) << "index";
    EXPECT_TRUE(view.Any(40, top, 199, top + 17, kWhite)) << "JPEG name";
    EXPECT_TRUE(view.Any(200, top, 388, top + 17, kWhite)) << "BMP name";
    for (int row : {0, 1, 2, 4, 15}) EXPECT_TRUE(RowShows(view, row, row));
}

TEST_F(ListViewTest, SelectionScrolledOutOfViewIsNotHighlighted) {
    FillList(20);
    PairList.selection = 3;
    ClickUp();
    EXPECT_EQ(3, PairList.selection);
    Paint();
    ExpectNoHighlight(View());
    ExpectRows(View(), 8, 12);

    PairList.selection = 19;  // last row shown from top 8 is entry 19, row 11
    Paint();
    EXPECT_TRUE(RowShows(View(), 11, 19, true));
    ClickDown();
    PairList.selection = 16;  // top 0: row 16 would be past the sixteen rows
    Paint();
    ExpectNoHighlight(View());
}

// The fields are written by other commands as well; whatever they hold,
// the view never shows or reads anything past the 200 entries.
TEST_F(ListViewTest, OutOfRangeFieldsStayInsideTheList) {
    FillList(200);
    PairList.count = 1000;
    PairList.top = 190;
    PairList.selection = 205;
    Paint();
    ExpectRows(View(), 190, 10);
    ExpectNoHighlight(View());
    ClickRow(12);
    EXPECT_EQ(205, PairList.selection);
    ClickRow(2);
    EXPECT_EQ(192, PairList.selection);
    ClickUp();
    EXPECT_EQ(184, PairList.top);

    PairList.count = -5;
    PairList.selection = -7;
    Paint();
    ExpectRows(View(), 0, 0);
    ExpectNoHighlight(View());
    ClickRow(0);
    EXPECT_EQ(-7, PairList.selection);

    PairList.count = 20;
    PairList.top = -30;
    ClickDown();
    EXPECT_EQ(0, PairList.top);
}

TEST_F(ListViewTest, RowHitsUseExclusiveBounds) {
    FillList(20);
    struct Click {
        int x, y, selected;
    } clicks[] = {
        {100, 44, -1}, {100, 45, 0},  {100, 61, 0},   {100, 62, -1},  {100, 63, -1}, {100, 64, 1},
        {6, 50, -1},   {7, 50, 0},    {387, 50, 0},   {388, 50, -1},  {389, 50, -1}, {100, 329, -1},
        {100, 330, 15}, {100, 346, 15}, {100, 347, -1}, {100, 360, -1}, {100, 30, -1}, {65535, 50, -1},
    };
    for (const Click& click : clicks) {
        PairList.selection = -1;
        OnListClick(click.x, click.y);
        EXPECT_EQ(click.selected, PairList.selection) << "(" << click.x << ", " << click.y << ")";
    }
}

TEST_F(ListViewTest, ClicksBeyondTheEntriesSelectNothing) {
    OnListClick(100, 50);
    EXPECT_EQ(-1, PairList.selection);
    FillList(3);
    ClickRow(3);
    EXPECT_EQ(-1, PairList.selection);
    ClickRow(2);
    EXPECT_EQ(2, PairList.selection);
    ClickUp();
    ClickRow(0);  // top 8: no entry shown at all
    EXPECT_EQ(2, PairList.selection);
}

TEST_F(ListViewTest, ButtonHitsUseExclusiveBounds) {
    FillList(20);
    PairList.selection = 5;
    struct Click {
        int x, y, top;
    } clicks[] = {
        {271, 7, 16},  {319, 23, 16}, {270, 15, 8}, {320, 15, 8}, {290, 6, 8},  {290, 24, 8},
        {331, 7, 0},   {379, 23, 0},  {330, 15, 8}, {380, 15, 8}, {350, 6, 8},  {350, 24, 8},
        {325, 15, 8},
    };
    for (const Click& click : clicks) {
        PairList.top = 8;
        OnListClick(click.x, click.y);
        EXPECT_EQ(click.top, PairList.top) << "(" << click.x << ", " << click.y << ")";
    }
    EXPECT_EQ(5, PairList.selection);  // scrolling keeps the selection
}

}  // namespace
