// The in-memory pair list and its view in the main window's client area:
// sixteen rows on a grid, a count line, a header and the UP and DOWN buttons.
#pragma once
#include <windows.h>

#include "pair_list.h"

constexpr int kRowsShown = 16;
constexpr int kScrollStep = 8;
constexpr int kLastTop = kListCapacity - kRowsShown;  // highest first row

struct PairListModel {
    PairEntry entries[kListCapacity] = {};
    int count = 0;       // entries 0 .. count-1 are in use
    int selection = -1;  // -1: none
    int top = 0;         // entry shown in the first row, 0 .. kLastTop
};

// Read and changed directly by the list commands, which repaint afterwards.
extern PairListModel PairList;

void PaintListView(HDC dc);
// Left button at client position (x, y), both as unsigned 16-bit values:
// the scroll buttons move the first row, a row selects its entry.
void OnListClick(int x, int y);
// Right button: no selection any more.
void ClearSelection();
