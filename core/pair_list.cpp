#include "pair_list.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "file_io.h"

static const int kEndOfText = 0x1A;

// Reads a byte; the end-of-text byte ends the file for good (it is put
// back, so every later read meets it again).
static int ReadByte(FILE* stream) {
    int c = fgetc(stream);
    if (c != kEndOfText) return c;
    ungetc(c, stream);
    return EOF;
}

static bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Reads the next white-space separated token. Keeps at most size-1 bytes but
// always consumes the whole token; returns its full length, or -1 at the end
// of the file before any token.
static long ReadToken(FILE* stream, char* buffer, size_t size) {
    int c;
    do c = ReadByte(stream); while (c != EOF && IsBlank(c));
    if (c == EOF) {
        buffer[0] = '\0';
        return -1;
    }
    long length = 0;
    size_t kept = 0;
    for (; c != EOF && !IsBlank(c); c = ReadByte(stream), ++length)
        if (kept + 1 < size) buffer[kept++] = static_cast<char>(c);
    buffer[kept] = '\0';
    return length;
}

// The count: a decimal number (sign, digits, fraction, exponent) as far as
// the token follows that form, truncated toward zero. No hexadecimal, no
// infinity or NaN words: a token without a leading number gives 0.
static double ParseCount(const char* token) {
    const char* p = token;
    char form[32];
    size_t n = 0;
    auto take = [&](char c) { if (n + 1 < sizeof form) form[n++] = c; };
    if (*p == '+' || *p == '-') take(*p++);
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p) take(*p), digits = true;
    if (*p == '.') {
        take(*p++);
        for (; *p >= '0' && *p <= '9'; ++p) take(*p), digits = true;
    }
    if (!digits) return 0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (*q >= '0' && *q <= '9') {
            for (; p < q; ++p) take(*p);
            for (; *p >= '0' && *p <= '9'; ++p) take(*p);
        }
    }
    form[n] = '\0';
    return std::trunc(strtod(form, nullptr));
}

// Reads one name; false when the file ends first. A name over 60 bytes
// reads as empty in entries (never cut), and whole, up to 255 bytes, in text.
static bool ReadName(FILE* stream, char (&name)[kNameSize], char* text, bool* tooLong) {
    char token[kListTokenBytes + 1];
    long length = ReadToken(stream, token, sizeof token);
    if (text) memcpy(text, token, sizeof token);
    if (length > static_cast<long>(kListTokenBytes)) *tooLong = true;
    if (length < 0 || static_cast<size_t>(length) > kNameBytes)
        name[0] = '\0';
    else
        memcpy(name, token, static_cast<size_t>(length) + 1);
    return length >= 0;
}

// The count token as written: what kind of text it shows, from the bytes
// kept of it (a NUL, a mark) and its full length.
static ListFormat CountFormat(const char* token, long length, size_t size) {
    size_t kept = static_cast<size_t>(length) < size - 1 ? static_cast<size_t>(length) : size - 1;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(token);
    if (kept >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return kListByteOrderMark;
    if (kept >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
        return kListWideText;
    if (memchr(token, '\0', kept)) return kListWideText;
    if (kept < static_cast<size_t>(length)) return kListCountNotDecimal;  // no count has 19 digits
    for (size_t i = 0; i < kept; ++i)
        if (bytes[i] < '0' || bytes[i] > '9') return kListCountNotDecimal;
    return kListInFormat;
}

int ReadPairListFile(FILE* stream, PairEntry* entries, int capacity, bool* overCapacity, ListFormat* format,
                     PairEntryText* texts) {
    char token[20];  // longer count tokens are cut to their first 19 bytes
    if (overCapacity) *overCapacity = false;
    if (format) *format = kListNoCount;
    long length = ReadToken(stream, token, sizeof token);
    if (length < 0) return 0;
    ListFormat read = CountFormat(token, length, sizeof token);
    double value = ParseCount(token);
    if (overCapacity) *overCapacity = value > capacity;
    int count;
    if (value > capacity) count = capacity;
    else if (value > 0) count = static_cast<int>(value);
    else count = 0;
    bool complete = true, tooLong = false;
    for (int i = 0; i < count; ++i) {
        complete &= ReadName(stream, entries[i].jpgName, texts ? texts[i].jpgName : nullptr, &tooLong);
        complete &= ReadName(stream, entries[i].bmpName, texts ? texts[i].bmpName : nullptr, &tooLong);
    }
    // A count that disagrees with the names would leave an entry unread or
    // read a half one: the restorer could not say what is left to do.
    char next[2];
    if (read != kListInFormat || value > capacity) {
    } else if (!complete) {
        read = kListFewerNamesThanCount;
    } else if (ReadToken(stream, next, sizeof next) >= 0) {
        read = kListMoreNamesThanCount;
    } else if (tooLong) {
        read = kListNameTooLong;
    }
    if (format) *format = read;
    return count;
}

// The count line and each name, every line ended by CR LF, in one step.
template <typename Entry>
static bool SaveList(const char* path, const Entry* entries, int count) {
    static const size_t kLineBytes = sizeof entries->jpgName + 1;
    char text[16 + 2 * kLineBytes * kListCapacity];
    if (count < 0 || count > kListCapacity) return false;
    int used = snprintf(text, sizeof text, "%d\r\n", count);
    for (int i = 0; i < count; ++i)
        used += snprintf(text + used, sizeof text - static_cast<size_t>(used), "%.*s\r\n%.*s\r\n",
                         static_cast<int>(sizeof entries->jpgName - 1), entries[i].jpgName,
                         static_cast<int>(sizeof entries->bmpName - 1), entries[i].bmpName);
    SaveFile file;
    if (!BeginSave(&file, path)) return false;
    SaveBytes(&file, text, static_cast<size_t>(used));
    return CommitSave(&file);
}

bool SavePairListFile(const char* path, const PairEntry* entries, int count) {
    return SaveList(path, entries, count);
}

bool SavePairListText(const char* path, const PairEntryText* entries, int count) {
    return SaveList(path, entries, count);
}
