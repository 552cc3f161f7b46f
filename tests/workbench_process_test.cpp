// tolvane.exe as a user starts it: its own process under Wine.
#include <gtest/gtest.h>

#include "test_images.h"
#include "win_process.h"

namespace {

struct MainWindowWatch {
    UINT message;
    WPARAM wParam;
    HWND found = nullptr;
    RECT rect = {};
    void operator()(DWORD processId) {
        if (found) return;
        HWND window = FindWindowA("Main Window", "Tolvane Ver1.02");
        DWORD owner = 0;
        if (window) GetWindowThreadProcessId(window, &owner);
        if (!window || owner != processId || !IsWindowVisible(window)) return;
        found = window;
        GetWindowRect(window, &rect);
        PostMessageA(window, message, wParam, 0);
    }
};

TEST(WorkbenchProcess, StartsCentredAndEndsWithZero) {
    TempFolder folder;
    struct {
        UINT message;
        WPARAM wParam;
        const char* tail;
    } ways[] = {{WM_CLOSE, 0, ""}, {WM_COMMAND, 23, "the command line is ignored"}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.message == WM_CLOSE ? "close box" : "command 23");
        MainWindowWatch watch{way.message, way.wParam};
        RunResult run = RunProgram(TOLVANE_PATH, way.tail, folder.Path(), SW_SHOWNORMAL, 30000,
                                   [&watch](DWORD id) { watch(id); });
        ASSERT_TRUE(run.started);
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(0u, run.exitCode);
        ASSERT_NE(nullptr, watch.found);
        EXPECT_EQ(400, watch.rect.right - watch.rect.left);
        EXPECT_EQ(400, watch.rect.bottom - watch.rect.top);
        EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 400) / 2, watch.rect.left);
        EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 400) / 2, watch.rect.top);
    }
}

}  // namespace
