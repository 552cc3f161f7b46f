// List model and list view: everything drawn in the main window's client
// area, at fixed pixel positions with plain text and box operations.
#include "list_view.h"

#include <cstdio>
#include <cstring>

#include "command_support.h"
#include "frame.h"

PairListModel PairList;

namespace {

const int kLeft = 5, kRight = 389;  // vertical grid lines
const int kGridTop = 5, kGridBottom = 348;
const int kPitch = 19;              // row pitch; a row is 18 pixels high
const int kFirstRowTop = 44;
const int kRowBoxLeft = 6, kRowBoxWidth = 383, kRowBoxHeight = 18;
const int kIndexX = 6, kJpegX = 40, kBmpX = 200;
const int kRowHitLeft = 6, kRowHitRight = 388;  // exclusive, like every hit bound

const int kButtonTop = 6, kButtonHeight = 18, kButtonWidth = 50;
const int kUpLeft = 270, kUpLabelX = 285;
const int kDownLeft = 330, kDownLabelX = 333;

const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kGrey = RGB(192, 192, 192);

int RowTop(int row) { return kFirstRowTop + kPitch * row; }

// A name field may lack its terminator if someone filled all of it.
void DrawName(HDC dc, int x, int y, const char* name) {
    TextOutA(dc, x, y, name, static_cast<int>(strnlen(name, kNameSize)));
}

void DrawRowTexts(HDC dc, int row, int index) {
    char number[16];
    snprintf(number, sizeof number, "%3d", index);
    int y = RowTop(row);
    TextOutA(dc, kIndexX, y, number, static_cast<int>(strlen(number)));
    DrawName(dc, kJpegX, y, PairList.entries[index].jpgName);
    DrawName(dc, kBmpX, y, PairList.entries[index].bmpName);
}

void DrawHighlightedRow(HDC dc, int row, int index) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    PatBlt(dc, kRowBoxLeft, RowTop(row), kRowBoxWidth, kRowBoxHeight, BLACKNESS);
    DrawRowTexts(dc, row, index);
}

void DrawPlainRow(HDC dc, int row, int index) {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kWhite);
    SetTextColor(dc, kBlack);
    PatBlt(dc, kRowBoxLeft, RowTop(row), kRowBoxWidth, kRowBoxHeight, WHITENESS);
    DrawRowTexts(dc, row, index);
}

// The entry shown in a row, or -1 when the row is empty. The fields are
// written by other commands too, so a count or first row out of range must
// still never reach past the 200 entries.
int EntryInRow(int row) {
    int index = PairList.top + row;
    int end = PairList.count < kListCapacity ? PairList.count : kListCapacity;
    return index >= 0 && index < end ? index : -1;
}

// The row showing the selected entry, or -1 when it is scrolled out of view.
int SelectedRow() {
    int selection = PairList.selection;
    if (selection < 0 || selection >= kListCapacity) return -1;
    int row = selection - PairList.top;
    return row >= 0 && row < kRowsShown ? row : -1;
}

int ClampTop(int top) { return top < 0 ? 0 : top > kLastTop ? kLastTop : top; }

bool Inside(int value, int low, int high) { return low < value && value < high; }

}  // namespace

void PaintListView(HDC dc) {
    PatBlt(dc, kLeft, 43, 384, 343, WHITENESS);
    for (int y = kGridTop; y < kGridBottom; y += kPitch) {
        MoveToEx(dc, kLeft, y, nullptr);
        LineTo(dc, kRight, y);
    }
    MoveToEx(dc, kLeft, kGridTop, nullptr);
    LineTo(dc, kLeft, kGridBottom);
    MoveToEx(dc, kRight, kGridTop, nullptr);
    LineTo(dc, kRight, kGridBottom);

    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kGrey);
    SetTextColor(dc, kBlack);
    char countLine[48];
    snprintf(countLine, sizeof countLine, "** 総ファイル数  %3d **", PairList.count);
    TextOutA(dc, 6, 6, countLine, static_cast<int>(strlen(countLine)));
    static const char kHeader[] = " 項  Jpgのファイル名      Bmpのファイル名";
    TextOutA(dc, 6, 25, kHeader, static_cast<int>(strlen(kHeader)));

    SetBkMode(dc, TRANSPARENT);
    PatBlt(dc, kUpLeft, kButtonTop, kButtonWidth, kButtonHeight, WHITENESS);
    TextOutA(dc, kUpLabelX, kButtonTop, "UP", 2);
    PatBlt(dc, kDownLeft, kButtonTop, kButtonWidth, kButtonHeight, WHITENESS);
    TextOutA(dc, kDownLabelX, kButtonTop, "DOWN", 4);

    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kWhite);
    for (int row = 0; row < kRowsShown; ++row) {
        int index = EntryInRow(row);
        if (index < 0) continue;
        DrawRowTexts(dc, row, index);
    }

    int selected = SelectedRow();
    if (selected >= 0) DrawHighlightedRow(dc, selected, PairList.selection);
}

void OnListClick(int x, int y) {
    if (Inside(x, kUpLeft, kUpLeft + kButtonWidth) && Inside(y, kButtonTop, kButtonTop + kButtonHeight)) {
        PairList.top = ClampTop(PairList.top + kScrollStep);
        RepaintList();
        return;
    }
    if (Inside(x, kDownLeft, kDownLeft + kButtonWidth) && Inside(y, kButtonTop, kButtonTop + kButtonHeight)) {
        PairList.top = ClampTop(PairList.top - kScrollStep);
        RepaintList();
        return;
    }
    if (!Inside(x, kRowHitLeft, kRowHitRight)) return;
    for (int row = 0; row < kRowsShown; ++row) {
        int index = EntryInRow(row);
        if (index < 0 || !Inside(y, RowTop(row), RowTop(row) + kRowBoxHeight)) continue;
        // Straight onto the window: only the two rows change.
        HWND window = MainWindow();
        HDC dc = window ? GetDC(window) : nullptr;
        if (dc) {
            int previous = SelectedRow();
            if (previous >= 0) DrawPlainRow(dc, previous, PairList.selection);
            DrawHighlightedRow(dc, row, index);
            ReleaseDC(window, dc);
        }
        PairList.selection = index;
        return;
    }
}

void ClearSelection() {
    PairList.selection = -1;
    RepaintList();
}
