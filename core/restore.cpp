#include "restore.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "bounded_string.h"
#include "convert_pool.h"
#include "file_system.h"
#include "imgctl.h"
#include "list_check.h"
#include "pair_list.h"

static char FolderPrefix[kUtf8PathSize];
static PairEntry Entries[kListCapacity];
static PairEntryText Texts[kListCapacity];   // the names as the list holds them, to write back
static int EntryCount;
static EntryProblem Problems[kListCapacity];
static FileIdentity Sources[kListCapacity];  // each JPEG as it was before any work
static bool SourceKnown[kListCapacity];
static bool Converted[kListCapacity];        // its conversion reported a whole BMP
static FileIdentity Written[kListCapacity];  // the BMP as that conversion left it
static bool WrittenKnown[kListCapacity];
static bool Restored[kListCapacity];
static int SameAs[kListCapacity];      // an earlier entry of the same JPEG and BMP files, or -1
static int JobEntries[kListCapacity];  // pool job number -> entry
static int EntriesLeft;
static FolderLock Lock;  // from reading the list to the end of the restore

// How long a second restorer of one folder waits for the first.
static const int kWaitForOtherRestorerSeconds = 300;

static bool EntryPath(char (&path)[kUtf8PathSize], const char* name) {
    return ListEntryPath(path, FolderPrefix, name);
}

// Another restorer working in the folder holds the lock: wait for it, then
// read what it left (the entries it could not restore, or no list at all).
// False when it held the folder longer than the wait.
static bool LockFolderAlone() {
    const time_t giveUp = time(nullptr) + kWaitForOtherRestorerSeconds;
    while (LockFolder(FolderPrefix, &Lock) == kLockedElsewhere) {
        if (time(nullptr) > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A file of the folder that a list entry names (in any spelling): never a
// leftover to clean up, whatever its name.
static bool IsListedFile(const char* path, void*) {
    char named[kUtf8PathSize];
    for (int i = 0; i < EntryCount; ++i)
        if ((EntryPath(named, Entries[i].jpgName) && SameFileName(path, named)) ||
            (EntryPath(named, Entries[i].bmpName) && SameFileName(path, named)))
            return true;
    return false;
}

// Reads a list file of the folder in the format; false when it is not one.
static bool ReadListInFormat(const char* name, PairEntry* entries, PairEntryText* texts, int* count) {
    char path[kUtf8PathSize];
    FILE* list = EntryPath(path, name) && IsPlainFile(path) ? OpenFile(path, "r") : nullptr;
    if (!list) return false;
    bool overCapacity = false;
    ListFormat format = kListNoCount;
    *count = ReadPairListFile(list, entries, kListCapacity, &overCapacity, &format, texts);
    bool readWell = !ferror(list) && !overCapacity && format == kListInFormat;
    fclose(list);
    return readWell;
}

// The list at path becomes these entries; with none it is deleted (and
// being gone already is as good).
static bool ReplaceList(const char* path, const PairEntryText* entries, int count) {
    MakeReplaceable(path);
    if (count == 0) return RemoveFile(path) || !IsPlainFile(path);
    return SavePairListText(path, entries, count);
}

static bool SameEntryText(const PairEntryText& a, const PairEntryText& b) {
    return strcmp(a.jpgName, b.jpgName) == 0 && strcmp(a.bmpName, b.bmpName) == 0;
}

// A run killed after it recorded its restored entries: their JPEGs go (while
// each BMP is there) and their entries leave the list, before anything else.
// An entry whose JPEG cannot be deleted stays listed (listed again, when
// the list was already gone). The record goes last.
static void FinishRecordedDeletions() {
    static PairEntry done[kListCapacity], listed[kListCapacity];
    static PairEntryText doneTexts[kListCapacity], listedTexts[kListCapacity];
    char journal[kUtf8PathSize], list[kUtf8PathSize];
    int doneCount = 0, listedCount = 0;
    if (!EntryPath(journal, kRestoreJournalFileName) || !EntryPath(list, kPairListFileName) || !IsPlainFile(journal))
        return;
    bool listThere = IsPlainFile(list);
    if (!ReadListInFormat(kRestoreJournalFileName, done, doneTexts, &doneCount) ||
        (listThere && !ReadListInFormat(kPairListFileName, listed, listedTexts, &listedCount)))
        return;  // not ours to finish: the list is read as it is
    int kept = 0;
    for (int i = 0; i < listedCount; ++i) {
        bool finished = false;
        for (int j = 0; j < doneCount && !finished; ++j) finished = SameEntryText(listedTexts[i], doneTexts[j]);
        if (!finished) listedTexts[kept++] = listedTexts[i];
    }
    for (int i = 0; i < doneCount; ++i) {
        char jpeg[kUtf8PathSize], bmp[kUtf8PathSize];
        bool gone = EntryPath(jpeg, done[i].jpgName) && EntryPath(bmp, done[i].bmpName) && IsPlainFile(bmp) &&
                    (!IsPlainFile(jpeg) || RemoveFile(jpeg));
        if (!gone && kept < kListCapacity) listedTexts[kept++] = doneTexts[i];
    }
    bool unchanged = listThere && kept == listedCount;
    if (!unchanged && !ReplaceList(list, listedTexts, kept)) return;  // the record stays for the next run
    FlushFolder(FolderPrefix);
    RemoveFile(journal);
}

bool ReadRestoreList(const char* folderPrefix) {
    EntryCount = 0;
    UnlockFolder(&Lock);
    char path[kUtf8PathSize], journal[kUtf8PathSize];
    if (!CopyString(FolderPrefix, folderPrefix) || !EntryPath(path, kPairListFileName) ||
        !EntryPath(journal, kRestoreJournalFileName))
        return false;
    bool recorded = IsPlainFile(journal);
    if (!IsPlainFile(path) && !recorded) return false;
    if (!LockFolderAlone()) return false;
    FinishRecordedDeletions();
    int count = 0;
    bool listRead = ReadListInFormat(kPairListFileName, Entries, Texts, &count);
    // A run that restored everything and was killed before its last
    // deletions: finished now, nothing left to do.
    bool nothingLeft = recorded && !IsPlainFile(path);
    if (!listRead && !nothingLeft) {
        UnlockFolder(&Lock);
        return false;
    }
    EntryCount = listRead ? count : 0;
    // What a killed run's saves left behind; no other restorer is at work here.
    RemoveSaveLeftovers(FolderPrefix, IsListedFile, nullptr);
    return true;
}

int RestoreEntryCount() { return EntryCount; }

struct Reporting {
    RestoreReport report;
    void* context;
};

static void Report(const Reporting& reporting, const char* jpegPath) {
    if (reporting.report) reporting.report(EntriesLeft, jpegPath, reporting.context);
}

static void OnConverted(const PoolJob& job, int status, void* context) {
    int entry = JobEntries[job.number];
    Converted[entry] = status != 0;
    if (Converted[entry]) WrittenKnown[entry] = IdentifyFile(job.target, &Written[entry]);
    --EntriesLeft;
    Report(*static_cast<Reporting*>(context), job.source);
}

// Every usable entry on the pool's workers. Entries that write the same BMP,
// or read what another writes, keep their list order (the pool sees to it).
static void ConvertEntries(int workers, Reporting& reporting) {
    // The codec reports every failure as its result: nothing to catch.
    ConvertPool* pool = StartPoolWith(RunJobDirectly, workers, OnConverted, &reporting, SameFileName);
    int jobs = 0;
    for (int i = 0; i < EntryCount; ++i) {
        PoolJob job = {};
        job.run = RunJpgToBmpJob;
        Converted[i] = WrittenKnown[i] = false;
        if (Problems[i] != kEntryRestorable || SameAs[i] >= 0 || !EntryPath(job.source, Entries[i].jpgName) ||
            !EntryPath(job.target, Entries[i].bmpName)) {
            --EntriesLeft;
            char shown[kUtf8PathSize];
            Report(reporting, EntryPath(shown, Entries[i].jpgName) ? shown : FolderPrefix);
            continue;
        }
        JobEntries[jobs++] = i;
        AddPoolJob(pool, job);
    }
    FinishPool(pool);
}

// An entry is restored when its BMP is still on disk as its conversion left
// it. Two entries that read different pictures but name one BMP (in any
// spelling) are never restored: whichever wrote last, the other picture
// survives only in its JPEG, and a later run must not overwrite the BMP
// with it. A JPEG may go only when every entry that reads it, however its
// name is spelt, was restored: otherwise it stays, and all of them count as
// not restored.
static void DecideRestored() {
    bool whole[kListCapacity], targetKnown[kListCapacity];
    FileIdentity targets[kListCapacity];
    for (int i = 0; i < EntryCount; ++i) {
        char path[kUtf8PathSize];
        targetKnown[i] = EntryPath(path, Entries[i].bmpName) && IdentifyFile(path, &targets[i]);
        whole[i] = Converted[i] && WrittenKnown[i] && SourceKnown[i] && targetKnown[i] &&
                   SameFile(targets[i], Written[i]);
    }
    for (int i = 0; i < EntryCount; ++i)
        if (SameAs[i] >= 0) whole[i] = whole[SameAs[i]];
    for (int i = 0; i < EntryCount; ++i)
        for (int j = i + 1; j < EntryCount; ++j) {
            bool oneTarget = targetKnown[i] && targetKnown[j] && SameFile(targets[i], targets[j]);
            bool onePicture = SourceKnown[i] && SourceKnown[j] && SameFile(Sources[i], Sources[j]);
            if (oneTarget && !onePicture) whole[i] = whole[j] = false;
        }
    for (int i = 0; i < EntryCount; ++i) {
        Restored[i] = whole[i];
        for (int j = 0; j < EntryCount && Restored[i]; ++j)
            if (j != i && !whole[j] && SourceKnown[j] && SameFile(Sources[i], Sources[j])) Restored[i] = false;
    }
}

// The list: deleted when everything was restored, else replaced by the
// entries still to do, each as the list held it, so a later run can finish
// the job. Only a list that says what remains allows the JPEGs to go.
static bool UpdateList(int notRestored) {
    char path[kUtf8PathSize];
    if (!EntryPath(path, kPairListFileName)) return false;
    static PairEntryText remaining[kListCapacity];
    int kept = 0;
    for (int i = 0; i < EntryCount && notRestored > 0; ++i)
        if (!Restored[i]) remaining[kept++] = Texts[i];
    return ReplaceList(path, remaining, kept);
}

// Before the list changes, the restored entries are recorded on the disk,
// so that a run killed between the list update and the JPEG deletions
// leaves what the next run needs to finish them.
static bool RecordRestored() {
    static PairEntryText done[kListCapacity];
    char path[kUtf8PathSize];
    int count = 0;
    for (int i = 0; i < EntryCount; ++i)
        if (Restored[i]) done[count++] = Texts[i];
    if (count == 0) return true;
    if (!EntryPath(path, kRestoreJournalFileName) || !SavePairListText(path, done, count)) return false;
    FlushFolder(FolderPrefix);
    return true;
}

static void RemoveRecord() {
    char path[kUtf8PathSize];
    if (EntryPath(path, kRestoreJournalFileName)) RemoveFile(path);
}

// Deletes each restored entry's JPEG, provided the file at its name is still
// the one that was read. A JPEG that stays all the same makes every entry
// that reads it one not restored; returns how many entries that made.
static int DeleteRestoredJpegs() {
    int kept = 0;
    for (int i = 0; i < EntryCount; ++i) {
        char path[kUtf8PathSize];
        FileIdentity now;
        if (!Restored[i] || !EntryPath(path, Entries[i].jpgName) || !IdentifyFile(path, &now) ||
            !SameFile(now, Sources[i]) || RemoveFile(path))
            continue;
        for (int j = 0; j < EntryCount; ++j) {
            if (!Restored[j] || !SourceKnown[j] || !SameFile(Sources[j], Sources[i])) continue;
            Restored[j] = false;
            ++kept;
        }
    }
    return kept;
}

// An entry that reads the same JPEG file and writes the same BMP file as an
// earlier one (however either is spelt) is that entry again: it is
// converted once, and fares as the first does.
static void FindRepeatedEntries() {
    for (int i = 0; i < EntryCount; ++i) {
        SameAs[i] = -1;
        char bmp[kUtf8PathSize], earlierBmp[kUtf8PathSize];
        if (Problems[i] != kEntryRestorable || !SourceKnown[i] || !EntryPath(bmp, Entries[i].bmpName)) continue;
        for (int j = 0; j < i && SameAs[i] < 0; ++j)
            if (Problems[j] == kEntryRestorable && SameAs[j] < 0 && SourceKnown[j] && SameFile(Sources[i], Sources[j]) &&
                EntryPath(earlierBmp, Entries[j].bmpName) && SameFileName(bmp, earlierBmp))
                SameAs[i] = j;
    }
}

int RestoreListedFiles(int workers, RestoreReport report, void* context) {
    // A BMP is on the disk before the only other copy of its picture goes.
    SetDurableSaves(true);
    Reporting reporting = {report, context};
    EntriesLeft = EntryCount;
    Report(reporting, nullptr);
    CheckListEntries(FolderPrefix, Entries, EntryCount, Problems);
    for (int i = 0; i < EntryCount; ++i) {
        char path[kUtf8PathSize];
        SourceKnown[i] = EntryPath(path, Entries[i].jpgName) && IdentifyFile(path, &Sources[i]);
    }
    FindRepeatedEntries();
    ConvertEntries(workers, reporting);
    FlushFolder(FolderPrefix);
    DecideRestored();
    int notRestored = 0;
    for (int i = 0; i < EntryCount; ++i)
        if (!Restored[i]) ++notRestored;
    int outcome = notRestored == 0 ? kRestoredAll : kRestoredPart;
    if (!RecordRestored()) {
        outcome = kRestoredPart;  // every JPEG stays for the next run
    } else if (!UpdateList(notRestored)) {
        outcome = kRestoredPart;  // every JPEG stays for the next run
        RemoveRecord();
    } else if (int kept = DeleteRestoredJpegs()) {
        // The list said they were done: it now names them again. Should
        // that fail, the record stays and the next run finishes the job.
        if (UpdateList(notRestored + kept)) RemoveRecord();
        outcome = kRestoredPart;
    } else {
        RemoveRecord();
    }
    UnlockFolder(&Lock);
    return outcome;
}
