// Bounded string and path helpers for the fixed-size name and path buffers.
// Every helper terminates its destination and reports whether the whole
// result fitted; on failure the destination is left as it was, so a cut
// name or path is never used by accident.
#pragma once
#include <cstddef>

constexpr size_t kNameBytes = 60;             // longest name of a list entry
constexpr size_t kNameSize = kNameBytes + 1;  // with its terminator
constexpr size_t kPathSize = 256;             // path buffers of both programs

[[nodiscard]] bool CopyString(char* dst, size_t dstSize, const char* src);
[[nodiscard]] bool AppendString(char* dst, size_t dstSize, const char* src);
// Replaces the last `count` bytes of dst by `replacement` (the system derives
// names this way instead of parsing extensions). Fails when dst is shorter
// than `count` or the result does not fit.
[[nodiscard]] bool ReplaceLastBytes(char* dst, size_t dstSize, size_t count, const char* replacement);

template <size_t N> [[nodiscard]] bool CopyString(char (&dst)[N], const char* src) { return CopyString(dst, N, src); }
template <size_t N> [[nodiscard]] bool AppendString(char (&dst)[N], const char* src) { return AppendString(dst, N, src); }
template <size_t N> [[nodiscard]] bool ReplaceLastBytes(char (&dst)[N], size_t count, const char* replacement) {
    return ReplaceLastBytes(dst, N, count, replacement);
}

// Shift-JIS: a lead byte starts a two-byte character whose second byte may
// be 0x5C, the path separator; scans for separators must step over it.
bool IsShiftJisLeadByte(unsigned char c);
// The length of the longest start of `text` that holds at most `limit`
// bytes and cuts no double-byte character in half (a lead byte at the very
// end, without its second byte, is left out too).
size_t WholeCharacterLength(const char* text, size_t limit);
// The file-name part of a Shift-JIS path (the workbench's ANSI paths): what
// follows its last "\", "/" or drive colon.
const char* FileNamePart(const char* path);
// A name that stays inside the folder it is relative to: not empty, no drive,
// no leading separator, no ".." component.
bool IsPlainRelativeName(const char* name);
// Shift-JIS names compared byte-wise ignoring ASCII case, as Windows
// compares file names; a trail byte keeps its case.
bool SameNameIgnoringCase(const char* a, const char* b);
