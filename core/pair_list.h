// The pair list: JPEG names paired with the BMP names to be made from them,
// and its text file "tvfile.txt" (a count, then one name per line).
#pragma once
#include <cstdio>

#include "bounded_string.h"

struct PairEntry {
    char jpgName[kNameSize];  // relative to the folder of the list file
    char bmpName[kNameSize];
};

constexpr char kPairListFileName[] = "tvfile.txt";
// The restored entries of a restore, in the list's format, recorded beside
// the list before it changes and removed once their JPEGs are gone.
constexpr char kRestoreJournalFileName[] = "tvdone.txt";
// Entries a list may hold: the workbench's capacity. The restorer refuses a
// list that claims more.
constexpr int kListCapacity = 200;

// Whether a list file is in the format the programs write: the count line
// decimal digits (blanks around them allowed), in Shift-JIS text. The
// restorer reads only such a list; a list in another encoding or with a
// made-up count would otherwise read as "nothing to restore".
enum ListFormat {
    kListInFormat = 0,
    kListNoCount,            // empty, or only blanks
    kListByteOrderMark,      // UTF-8's mark before the count
    kListWideText,           // UTF-16, with or without its mark
    kListCountNotDecimal,    // a sign, a fraction, hexadecimal, a word...
    kListMoreNamesThanCount,   // names past the last entry the count allows
    kListFewerNamesThanCount,  // the file (or an end-of-text byte) ends before the last entry
    kListNameTooLong,          // a name longer than any path the list may name
};

// A name as the file holds it, of up to 255 bytes: an entry no program can
// use (a name over 60 bytes) is still written back unchanged.
constexpr size_t kListTokenBytes = 255;
struct PairEntryText {
    char jpgName[kListTokenBytes + 1];
    char bmpName[kListTokenBytes + 1];
};

// Reads a list file into entries[0 .. capacity-1] and returns the count.
// The count token is read as a decimal number truncated toward zero and
// clamped to 0 .. capacity; overCapacity, when given, tells whether it
// claimed more. A name token longer than 60 bytes, and every name the file
// does not reach, reads as an empty name: never a cut or stale one. Entries
// at and above the count are not touched. The byte 0x1A ends the file, as
// it does for Windows' text-mode streams, so every reader of a list reads
// the same names whatever the mode and platform.
// format, when given, tells whether the file is in the format; the count is
// read the same way either way. texts, when given, receives each entry's
// names as written (cut to 255 bytes: such a list is not in the format).
int ReadPairListFile(FILE* stream, PairEntry* entries, int capacity, bool* overCapacity = nullptr,
                     ListFormat* format = nullptr, PairEntryText* texts = nullptr);

// Replaces the file at path by a list of the entries in one step: the
// count, then each name, every line ended by CR LF; written
// beside it, then renamed over it (with its data on the disk first when
// saves are durable). False, the old file as it was, when anything failed.
bool SavePairListFile(const char* path, const PairEntry* entries, int count);
// The same for names as a list file held them.
bool SavePairListText(const char* path, const PairEntryText* entries, int count);
