#include "workbench_harness.h"

#include <cstdio>
#include <cstring>

#include "resource.h"

namespace {
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); }
}  // namespace

void WorkbenchTest::SetUp() {
    PairList = PairListModel{};
    ASSERT_TRUE(InitMainWindow(GetModuleHandleA(nullptr)));
    ShowWindow(MainWindow(), SW_SHOWNORMAL);
    UpdateWindow(MainWindow());
}

void WorkbenchTest::TearDown() {
    if (MainWindow()) DestroyWindow(MainWindow());
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
}

int WorkbenchTest::RunLoop(UINT limitMs) {
    UINT_PTR watchdog = SetTimer(nullptr, 0, limitMs, GiveUp);
    int code = RunMessageLoop();
    KillTimer(nullptr, watchdog);
    return code;
}

void WorkbenchTest::Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ADD_FAILURE() << "unexpected quit message " << message.wParam;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

Canvas::Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    uint32_t value = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    for (int i = 0; i < width * height; ++i) bits_[i] = value;
}

Canvas::~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
}

COLORREF Canvas::At(int x, int y) const {
    GdiFlush();
    uint32_t value = bits_[y * width_ + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

bool Canvas::All(int left, int top, int right, int bottom, COLORREF colour) const {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (At(x, y) != colour) return false;
    return true;
}

bool Canvas::Any(int left, int top, int right, int bottom, COLORREF colour) const {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (At(x, y) == colour) return true;
    return false;
}

bool Canvas::Same(const Canvas& other, int left, int top, int right, int bottom) const {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (At(x, y) != other.At(x, y)) return false;
    return true;
}

void Canvas::CopyFromWindow(HWND window) {
    HDC source = GetDC(window);
    BitBlt(dc_, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
    ReleaseDC(window, source);
}

namespace {
struct WindowQuery {
    const char* caption;
    HWND found;
};
BOOL CALLBACK MatchCaption(HWND window, LPARAM lParam) {
    WindowQuery* query = reinterpret_cast<WindowQuery*>(lParam);
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (!IsWindowVisible(window) || strcmp(text, query->caption) != 0) return TRUE;
    query->found = window;
    return FALSE;
}
}  // namespace

HWND FindOwnWindow(const char* caption) {
    WindowQuery query = {caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

std::string JpegNameOf(int index) { return "p" + std::string(index % 7, 'w') + std::to_string(index) + ".jpg"; }
std::string BmpNameOf(int index) { return "b" + std::to_string(index) + std::string(index % 5, 'm') + ".bmp"; }

void FillList(int count) {
    for (int i = 0; i < count && i < kListCapacity; ++i) {
        snprintf(PairList.entries[i].jpgName, kNameSize, "%s", JpegNameOf(i).c_str());
        snprintf(PairList.entries[i].bmpName, kNameSize, "%s", BmpNameOf(i).c_str());
    }
    PairList.count = count;
}
