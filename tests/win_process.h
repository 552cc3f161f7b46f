// Starting a Windows program from a test and watching it while it runs.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// A path as Windows sees it: Linux paths of the build become Z:\ paths under Wine.
std::string WindowsPath(const std::string& path);

struct RunResult {
    bool started = false;
    bool finished = false;  // false: killed after the timeout
    DWORD exitCode = 0;
};

// Runs `exe` with the given command-line tail (the text after the program
// name) in `folder` and the given show state. `whileRunning` is called every
// 20 ms until the program ends; it may answer the program's windows.
RunResult RunProgram(const std::string& exe, const std::string& tail, const std::string& folder,
                     int showState = SW_SHOWNORMAL, DWORD timeoutMs = 60000,
                     const std::function<void(DWORD processId)>& whileRunning = nullptr);

// The same with the whole command line given, program name included.
RunResult RunCommandLine(const std::string& exe, const std::string& commandLine, const std::string& folder,
                         int showState = SW_SHOWNORMAL, DWORD timeoutMs = 60000,
                         const std::function<void(DWORD processId)>& whileRunning = nullptr);

// The same started as installers start programs: a wide command line
// (program name included) through CreateProcessW, in a wide folder.
RunResult RunWideCommandLine(const std::wstring& commandLine, const std::wstring& folder,
                             int showState = SW_SHOWNORMAL, DWORD timeoutMs = 60000,
                             const std::function<void(DWORD processId)>& whileRunning = nullptr);

// A top-level dialog box (message box) of the given process and caption, or null.
HWND FindProcessDialog(DWORD processId, const char* caption);
