#include "text_encoding.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#ifdef _WIN32

static const unsigned kListCodePage = 932;

bool Utf8ToWide(const char* utf8, wchar_t* wide, size_t size) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, static_cast<int>(size)) > 0;
}

bool WideToUtf8(const wchar_t* wide, char* utf8, size_t size) {
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, utf8, static_cast<int>(size), nullptr,
                               nullptr) > 0;
}

bool AnsiToUtf8(const char* ansi, char* utf8, size_t size) {
    wchar_t wide[kUtf8PathSize];
    return MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, kUtf8PathSize) > 0 && WideToUtf8(wide, utf8, size);
}

bool Utf8ToAnsi(const char* utf8, char* ansi, size_t size) {
    wchar_t wide[kUtf8PathSize];
    return Utf8ToWide(utf8, wide, kUtf8PathSize) &&
           WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, static_cast<int>(size), nullptr, nullptr) > 0;
}

bool ListNameToUtf8(const char* listName, char* utf8, size_t size) {
    wchar_t wide[kUtf8PathSize];
    return MultiByteToWideChar(kListCodePage, MB_ERR_INVALID_CHARS, listName, -1, wide, kUtf8PathSize) > 0 &&
           WideToUtf8(wide, utf8, size);
}

bool Utf8ToListName(const char* utf8, char* listName, size_t size) {
    wchar_t wide[kUtf8PathSize], back[kUtf8PathSize];
    BOOL defaulted = FALSE;
    return Utf8ToWide(utf8, wide, kUtf8PathSize) &&
           WideCharToMultiByte(kListCodePage, WC_NO_BEST_FIT_CHARS, wide, -1, listName, static_cast<int>(size),
                               nullptr, &defaulted) > 0 &&
           !defaulted &&
           MultiByteToWideChar(kListCodePage, MB_ERR_INVALID_CHARS, listName, -1, back, kUtf8PathSize) > 0 &&
           wcscmp(wide, back) == 0;
}

bool ToWidePath(const char* utf8Path, WidePath* wide) {
    if (!Utf8ToWide(utf8Path, wide->text, sizeof wide->text / sizeof wide->text[0])) return false;
    if (wcslen(wide->text) < MAX_PATH - 12) return true;  // room for a save's temporary name
    wchar_t full[2 * kUtf8PathSize];
    DWORD length = GetFullPathNameW(wide->text, 2 * kUtf8PathSize, full, nullptr);
    if (length == 0 || length >= 2 * kUtf8PathSize - 8) return false;
    bool unc = full[0] == L'\\' && full[1] == L'\\';
    if (unc && (full[2] == L'?' || full[2] == L'.')) return wcscpy(wide->text, full), true;
    wcscpy(wide->text, unc ? L"\\\\?\\UNC\\" : L"\\\\?\\");
    wcscat(wide->text, unc ? full + 2 : full);
    return true;
}

#else

// One whole text through iconv; false when a character has no spelling in
// the target code or the result does not fit.
static bool Recode(const char* to, const char* from, const char* text, char* out, size_t size) {
    if (size == 0) return false;
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    char* in = const_cast<char*>(text);
    size_t inLeft = strlen(text);
    char* next = out;
    size_t outLeft = size - 1;
    bool whole = iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<size_t>(-1) &&
                 iconv(converter, nullptr, nullptr, &next, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    *next = '\0';
    return whole;
}

// glibc's CP932 reads Shift-JIS as Windows does (0x81 0x60 is U+FF5E).
bool ListNameToUtf8(const char* listName, char* utf8, size_t size) {
    return Recode("UTF-8", "CP932", listName, utf8, size);
}

bool Utf8ToListName(const char* utf8, char* listName, size_t size) {
    char back[kUtf8PathSize];
    return Recode("CP932", "UTF-8", utf8, listName, size) && Recode("UTF-8", "CP932", listName, back, sizeof back) &&
           strcmp(back, utf8) == 0;
}

#endif

// Counted from the characters, without a table: Shift-JIS spells ASCII and
// the half-width katakana (U+FF61..U+FF9F) in one byte, every other
// character it has in two.
size_t ShiftJisLength(const char* utf8) {
    size_t length = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
        unsigned code = *p;
        int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        if (extra) code &= 0x3Fu >> extra;
        ++p;
        for (; extra > 0 && (*p & 0xC0) == 0x80; --extra) code = (code << 6) | (*p++ & 0x3Fu);
        length += code < 0x80 || (code >= 0xFF61 && code <= 0xFF9F) ? 1 : 2;
    }
    return length;
}

const char* PathNamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || (*p == ':' && p == path + 1)) name = p + 1;
    return name;
}

bool SamePathIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
        if (x == 0) return true;
    }
}
