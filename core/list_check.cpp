#include "list_check.h"

#include <cstring>

#include "file_io.h"
#include "file_system.h"

bool IsCarriableName(const char* name) {
    size_t length = strlen(name);
    if (length == 0 || length > kNameBytes) return false;
    for (const char* p = name; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c <= ' ' || c == 0x7F) return false;  // Shift-JIS never uses these as a second byte
    }
    return true;
}

static bool IsShiftJis(const char* name) {
    char utf8[kUtf8PathSize];
    return ListNameToUtf8(name, utf8);
}

bool ListEntryPath(char (&path)[kUtf8PathSize], const char* folderPrefix, const char* listName) {
    char name[kUtf8PathSize];
    return ShiftJisLength(folderPrefix) + strlen(listName) < kPathSize && ListNameToUtf8(listName, name) &&
           CopyString(path, folderPrefix) && AppendString(path, name);
}

// A file the restorer makes for itself: a save's temporary file, which a
// rerun removes unread, the folder's lock, or the record of what a restore
// restored. Windows reads such a name in any case and without trailing dots.
static bool IsRestorersName(const char* listName) {
    char whole[kNameSize];
    if (!CopyString(whole, listName)) return false;
    for (size_t length = strlen(whole); length > 0 && whole[length - 1] == '.'; --length) whole[length - 1] = '\0';
    const char* name = FileNamePart(whole);
    return IsSaveTemporaryNameInAnyCase(name) || SameNameIgnoringCase(name, kLockFileName) ||
           SameNameIgnoringCase(whole, kRestoreJournalFileName);
}

// What the names alone say, before any file is looked at.
static EntryProblem NameProblem(const char* folderPrefix, const PairEntry& entry) {
    if (!IsCarriableName(entry.jpgName) || !IsCarriableName(entry.bmpName) || !IsShiftJis(entry.jpgName) ||
        !IsShiftJis(entry.bmpName))
        return kEntryNameNotCarried;
    if (!IsPlainRelativeName(entry.jpgName) || !IsPlainRelativeName(entry.bmpName)) return kEntryNameLeavesFolder;
    if (IsRestorersName(entry.jpgName) || IsRestorersName(entry.bmpName)) return kEntryNameIsRestorers;
    char path[kUtf8PathSize];
    if (!ListEntryPath(path, folderPrefix, entry.jpgName) || !ListEntryPath(path, folderPrefix, entry.bmpName))
        return kEntryPathTooLong;
    return kEntryRestorable;
}

// Written or deleted through a link, a file outside the folder would go.
static bool EntryThroughLink(const char* folderPrefix, const PairEntry& entry) {
    char path[kUtf8PathSize];
    return (ListEntryPath(path, folderPrefix, entry.jpgName) && PassesThroughLink(folderPrefix, path)) ||
           (ListEntryPath(path, folderPrefix, entry.bmpName) && PassesThroughLink(folderPrefix, path));
}

// Names alone cannot tell whether a BMP would land on a file already there
// (Windows has many spellings of one name), so the files decide: a BMP
// name that opens an existing file is compared with the JPEGs and the list
// by identity. A BMP that names nothing yet overwrites nothing.
void CheckListEntries(const char* folderPrefix, const PairEntry* entries, int count, EntryProblem* problems) {
    FileIdentity sources[kListCapacity];
    bool sourceKnown[kListCapacity];
    if (count > kListCapacity) count = kListCapacity;
    char path[kUtf8PathSize];
    FileIdentity list = {};
    bool listKnown = ListEntryPath(path, folderPrefix, kPairListFileName) && IdentifyFile(path, &list);
    for (int i = 0; i < count; ++i) {
        problems[i] = NameProblem(folderPrefix, entries[i]);
        if (problems[i] == kEntryRestorable && EntryThroughLink(folderPrefix, entries[i]))
            problems[i] = kEntryThroughLink;
        sourceKnown[i] = problems[i] == kEntryRestorable && ListEntryPath(path, folderPrefix, entries[i].jpgName) &&
                         IsPlainFile(path) && IdentifyFile(path, &sources[i]);
    }
    for (int i = 0; i < count; ++i) {
        if (problems[i] != kEntryRestorable) continue;
        if (!ListEntryPath(path, folderPrefix, entries[i].bmpName)) continue;
        FileIdentity target;
        bool targetKnown = IdentifyFile(path, &target);
        bool ownJpeg = SameNameIgnoringCase(entries[i].bmpName, entries[i].jpgName) ||
                       (targetKnown && sourceKnown[i] && SameFile(target, sources[i]));
        bool listFile = SameNameIgnoringCase(entries[i].bmpName, kPairListFileName) ||
                        (targetKnown && listKnown && SameFile(target, list));
        bool otherJpeg = false;
        for (int j = 0; j < count && !otherJpeg; ++j) {
            if (j == i || problems[j] == kEntryNameNotCarried) continue;
            otherJpeg = SameNameIgnoringCase(entries[i].bmpName, entries[j].jpgName) ||
                        (targetKnown && sourceKnown[j] && SameFile(target, sources[j]));
        }
        if (ownJpeg) problems[i] = kEntryBmpIsItsJpeg;
        else if (listFile) problems[i] = kEntryBmpIsListFile;
        else if (otherJpeg) problems[i] = kEntryBmpIsAnotherJpeg;
        else if (!sourceKnown[i]) problems[i] = kEntryJpegMissing;
    }
}
