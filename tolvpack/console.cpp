#include "console.h"

#include <cstring>

#include "text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#ifdef _WIN32

static HANDLE ConsoleOf(FILE* stream) {
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

void PrintLine(FILE* stream, const std::string& utf8) {
    std::string line = utf8 + "\n";
    int length = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, &wide[0], length);
    if (HANDLE console = ConsoleOf(stream)) {
        fflush(stream);
        DWORD written = 0;
        WriteConsoleW(console, wide.c_str(), static_cast<DWORD>(wcslen(wide.c_str())), &written, nullptr);
        return;
    }
    // A character the code page cannot spell stays UTF-8 rather than turn
    // into a question mark.
    BOOL defaulted = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &defaulted);
    if (size <= 0 || defaulted) {
        fputs(line.c_str(), stream);
        return;
    }
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &narrow[0], size, nullptr, nullptr);
    fputs(narrow.c_str(), stream);
}

void PrintRaw(FILE* stream, const std::string& utf8) {
    if (HANDLE console = ConsoleOf(stream)) {
        std::string rest = utf8;
        if (!rest.empty() && rest.back() == '\n') rest.pop_back();
        PrintLine(stream, rest);
        (void)console;
        return;
    }
    fwrite(utf8.data(), 1, utf8.size(), stream);
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)); }

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE console = ConsoleOf(stdout);
    if (console && GetConsoleScreenBufferInfo(console, &info)) return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

#else

void PrintLine(FILE* stream, const std::string& utf8) {
    fputs(utf8.c_str(), stream);
    fputc('\n', stream);
}

void PrintRaw(FILE* stream, const std::string& utf8) { fwrite(utf8.data(), 1, utf8.size(), stream); }

bool StandardErrorIsTerminal() { return isatty(fileno(stderr)); }

int TerminalColumns() {
    winsize size = {};
    if (isatty(fileno(stdout)) && ioctl(fileno(stdout), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

#endif

void ReportFileError(const std::string& file, const std::string& what) {
    fflush(stdout);
    PrintLine(stderr, "tolvpack: " + file + ": " + what);
}

// Columns a UTF-8 text takes: one per character (the help is English).
static size_t Columns(const std::string& text) {
    size_t columns = 0;
    for (unsigned char c : text) columns += (c & 0xC0) != 0x80;
    return columns;
}

std::string WrapText(const std::string& text, int columns) {
    if (columns < 20) columns = 20;
    std::string wrapped;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos) indent = 0;
        // A continued line lines up with the text after a "-" or an option.
        size_t hanging = indent;
        if (line.compare(indent, 2, "- ") == 0) hanging = indent + 2;
        std::string current = line.substr(0, indent);
        size_t at = indent;
        bool first = true;
        while (at < line.size()) {
            size_t next = line.find(' ', at);
            if (next == std::string::npos) next = line.size();
            std::string word = line.substr(at, next - at);
            if (!first && Columns(current) + 1 + Columns(word) > static_cast<size_t>(columns)) {
                wrapped += current + "\n";
                current = std::string(hanging, ' ') + word;
            } else {
                current += (first ? "" : " ") + word;
            }
            first = false;
            at = next + 1;
        }
        wrapped += current;
        if (end < text.size()) wrapped += "\n";
        start = end + 1;
    }
    return wrapped;
}

std::string CountOf(long count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
