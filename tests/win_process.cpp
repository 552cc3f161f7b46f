#include "win_process.h"

#include <vector>

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string result = "Z:" + path;
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

RunResult RunProgram(const std::string& exe, const std::string& tail, const std::string& folder, int showState,
                     DWORD timeoutMs, const std::function<void(DWORD)>& whileRunning) {
    std::string line = "\"" + WindowsPath(exe) + "\"" + (tail.empty() ? "" : " " + tail);
    return RunCommandLine(exe, line, folder, showState, timeoutMs, whileRunning);
}

namespace {
// Waits for a started process, calling `whileRunning` every 20 ms; kills
// it after the timeout.
RunResult WaitForProcess(PROCESS_INFORMATION& process, DWORD timeoutMs,
                         const std::function<void(DWORD)>& whileRunning) {
    RunResult result;
    result.started = true;
    DWORD waited = 0;
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        waited += 20;
        if (waited >= timeoutMs) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        if (whileRunning) whileRunning(process.dwProcessId);
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
}  // namespace

RunResult RunCommandLine(const std::string& exe, const std::string& line, const std::string& folder, int showState,
                         DWORD timeoutMs, const std::function<void(DWORD)>& whileRunning) {
    std::string program = WindowsPath(exe);
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return RunResult();
    return WaitForProcess(process, timeoutMs, whileRunning);
}

RunResult RunWideCommandLine(const std::wstring& line, const std::wstring& folder, int showState, DWORD timeoutMs,
                             const std::function<void(DWORD)>& whileRunning) {
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return RunResult();
    return WaitForProcess(process, timeoutMs, whileRunning);
}

namespace {
struct DialogSearch {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {}, caption[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (owner == search->processId && strcmp(className, "#32770") == 0 && strcmp(caption, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindProcessDialog(DWORD processId, const char* caption) {
    DialogSearch search = {processId, caption, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
