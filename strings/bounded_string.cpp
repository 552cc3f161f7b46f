#include "bounded_string.h"

#include <cstring>

bool CopyString(char* dst, size_t dstSize, const char* src) {
    size_t length = strlen(src);
    if (dstSize == 0 || length >= dstSize) return false;
    memmove(dst, src, length + 1);
    return true;
}

bool AppendString(char* dst, size_t dstSize, const char* src) {
    size_t used = strnlen(dst, dstSize);
    if (used >= dstSize) return false;  // dst was not terminated within its size
    size_t length = strlen(src);
    if (length >= dstSize - used) return false;
    memmove(dst + used, src, length + 1);
    return true;
}

bool ReplaceLastBytes(char* dst, size_t dstSize, size_t count, const char* replacement) {
    size_t used = strnlen(dst, dstSize);
    if (used >= dstSize || used < count) return false;
    size_t kept = used - count;
    size_t length = strlen(replacement);
    if (length >= dstSize - kept) return false;
    memmove(dst + kept, replacement, length + 1);
    return true;
}

bool IsShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

size_t WholeCharacterLength(const char* text, size_t limit) {
    size_t used = 0;
    while (text[used]) {
        bool lead = IsShiftJisLeadByte(static_cast<unsigned char>(text[used]));
        if (lead && !text[used + 1]) break;
        size_t step = lead ? 2 : 1;
        if (used + step > limit) break;
        used += step;
    }
    return used;
}

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

const char* FileNamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(*p))) {
            if (p[1] == '\0') break;
            ++p;
            continue;
        }
        if (IsSeparator(*p) || (*p == ':' && p == path + 1)) name = p + 1;
    }
    return name;
}

bool IsPlainRelativeName(const char* name) {
    if (name[0] == '\0' || IsSeparator(name[0])) return false;
    if (name[1] == ':') return false;
    const char* component = name;
    for (const char* p = name;; ++p) {
        bool lead = IsShiftJisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0';
        if (*p == '\0' || (!lead && IsSeparator(*p))) {
            if (p - component == 2 && component[0] == '.' && component[1] == '.') return false;
            if (*p == '\0') return true;
            component = p + 1;
        } else if (lead) {
            ++p;
        }
    }
}

bool SameNameIgnoringCase(const char* a, const char* b) {
    bool trail = false;  // the second byte of a double-byte character keeps its case
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (!trail) {
            if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) return false;
        if (x == 0) return true;
        trail = !trail && IsShiftJisLeadByte(x);
    }
}
