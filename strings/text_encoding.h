// The two encodings of the programs. Paths are UTF-8 inside on every
// platform, whatever the system's code page: Linux names are UTF-8 already,
// and Windows' wide file names convert to and from it without loss. List
// names are Shift-JIS as Windows' code page 932 spells them, the list file's
// own encoding, read and written with that table whatever the system has.
#pragma once
#include <cstddef>

// Path buffers inside: room for the longest path a list entry can make
// (255 bytes of Shift-JIS, up to three UTF-8 bytes for two of them) and for
// the folders a build script works in.
constexpr size_t kUtf8PathSize = 1024;

// A list name as UTF-8. False when the bytes are not Shift-JIS or the
// result does not fit.
[[nodiscard]] bool ListNameToUtf8(const char* listName, char* utf8, size_t size);
// The Shift-JIS spelling of a UTF-8 name, only when code page 932 reads it
// back as the same characters: "〜" (U+301C) is written 0x81 0x60, which
// Windows reads as "～" (U+FF5E), so it has no spelling. False then, or
// when the text is not UTF-8 or does not fit.
[[nodiscard]] bool Utf8ToListName(const char* utf8, char* listName, size_t size);
// How many bytes a UTF-8 path takes in Shift-JIS: the length the path limit
// of the lists counts. A character Shift-JIS cannot spell counts as two.
size_t ShiftJisLength(const char* utf8);

// The file-name part of a UTF-8 path: what follows its last "\", "/" or
// drive colon. (UTF-8 never hides a separator inside a character.)
const char* PathNamePart(const char* path);
// Whether two UTF-8 paths are equal ignoring ASCII case.
bool SamePathIgnoringCase(const char* a, const char* b);

template <size_t N> [[nodiscard]] bool ListNameToUtf8(const char* listName, char (&utf8)[N]) {
    return ListNameToUtf8(listName, utf8, N);
}
template <size_t N> [[nodiscard]] bool Utf8ToListName(const char* utf8, char (&listName)[N]) {
    return Utf8ToListName(utf8, listName, N);
}

#ifdef _WIN32
// The edge to Windows' wide API. A path too long for the plain form gets
// the "\\?\" form, so the system takes it whole where it allows long paths.
struct WidePath {
    wchar_t text[2 * kUtf8PathSize];
};
[[nodiscard]] bool ToWidePath(const char* utf8Path, WidePath* wide);
[[nodiscard]] bool Utf8ToWide(const char* utf8, wchar_t* wide, size_t size);
[[nodiscard]] bool WideToUtf8(const wchar_t* wide, char* utf8, size_t size);
// The workbench's window code is ANSI: its texts go through the system's
// code page (Shift-JIS on the Japanese Windows it is made for).
[[nodiscard]] bool AnsiToUtf8(const char* ansi, char* utf8, size_t size);
[[nodiscard]] bool Utf8ToAnsi(const char* utf8, char* ansi, size_t size);
template <size_t N> [[nodiscard]] bool AnsiToUtf8(const char* ansi, char (&utf8)[N]) { return AnsiToUtf8(ansi, utf8, N); }
template <size_t N> [[nodiscard]] bool Utf8ToAnsi(const char* utf8, char (&ansi)[N]) { return Utf8ToAnsi(utf8, ansi, N); }
#endif
