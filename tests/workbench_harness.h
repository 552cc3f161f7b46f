// Shared fixture of the workbench tests: a real main window on the test's
// own thread, and 32-bit canvases to paint the list view into.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "frame.h"
#include "list_view.h"

// Creates the main window as the program does (class registered anew for
// each test) and takes it down again, draining the quit message it leaves.
class WorkbenchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The program's own message loop, given up with 99 after `limitMs`.
    static int RunLoop(UINT limitMs = 5000);
    // Dispatches what is waiting, as the loop would, without blocking.
    static void Pump();
};

// A visible top-level window of this thread with this caption, such as a
// dialog a command opened; null when there is none.
HWND FindOwnWindow(const char* caption);

// A top-down 32-bit DIB section selected into a memory DC.
class Canvas {
public:
    Canvas(int width = 400, int height = 400, COLORREF fill = RGB(1, 2, 3));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const;
    // Every pixel of [left, right] x [top, bottom] (inclusive) has `colour`.
    bool All(int left, int top, int right, int bottom, COLORREF colour) const;
    // Some pixel of the inclusive rectangle has `colour`.
    bool Any(int left, int top, int right, int bottom, COLORREF colour) const;
    // Same pixels in the inclusive rectangle.
    bool Same(const Canvas& other, int left, int top, int right, int bottom) const;
    // Copies what the window shows in its client area.
    void CopyFromWindow(HWND window);

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
    int width_, height_;
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

inline int RowTop(int row) { return 44 + 19 * row; }

// Entries with names that differ in length, so rows are told apart.
void FillList(int count);
std::string JpegNameOf(int index);
std::string BmpNameOf(int index);
