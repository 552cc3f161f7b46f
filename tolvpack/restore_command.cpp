// tolvpack restore: what tolvinst does in an install folder, through the
// same procedure, without a window; for trying an install folder on the
// build machine. The exit code is the restore's outcome.
#include <cstdio>
#include <cstring>
#include <string>

#include "console.h"
#include "file_io.h"
#include "file_system.h"
#include "folder_files.h"
#include "imgctl.h"
#include "list_check.h"
#include "pair_list.h"
#include "progress.h"
#include "reasons.h"
#include "restore.h"
#include "tolvpack.h"

namespace {

struct RestoreRun {
    char prefix[kUtf8PathSize];  // the folder with its separator
    PairEntry entries[kListCapacity];  // as read before the restore, for the BMP of each JPEG
    EntryProblem problems[kListCapacity];  // what the list check finds in them, as the restore does
    int count;
    PairEntry kept[kListCapacity];  // the list after the restore
    Progress progress;
};

// The list as it lies in the folder; 0 entries when it cannot be read.
int ReadList(const char* listPath, PairEntry* entries) {
    FILE* stream = OpenFile(listPath, "rb");
    if (!stream) return 0;
    int count = ReadPairListFile(stream, entries, kListCapacity);
    fclose(stream);
    return count;
}

void ReportOne(int left, const char* jpegPath, void* context) {
    RestoreRun& run = *static_cast<RestoreRun*>(context);
    if (!jpegPath) {
        StartProgress(run.progress, "restore", left);
        return;
    }
    // The pixels of the BMP written for this JPEG, for the rate.
    double megapixels = 0;
    for (int i = 0; i < run.count && megapixels == 0; ++i) {
        char path[kUtf8PathSize];
        if (ListEntryPath(path, run.prefix, run.entries[i].jpgName) && strcmp(path, jpegPath) == 0 &&
            ListEntryPath(path, run.prefix, run.entries[i].bmpName))
            megapixels = BmpMegapixels(path);
    }
    AdvanceProgress(run.progress, megapixels);
}

// Why exit code 2: the cause, as the restorer meets it.
std::string NoListReason(const char* listPath) {
    if (FileBytes(listPath) < 0)
        return "no such file: nothing to restore (tolvpack pack writes it beside the JPEGs it lists)";
    if (!IsPlainFile(listPath)) return "not a plain file: the restorer reads no list from it";
    FILE* stream = OpenFile(listPath, "rb");
    if (!stream) return "cannot open the list";
    static PairEntry entries[kListCapacity];
    bool overCapacity = false;
    ListFormat format = kListInFormat;
    ReadPairListFile(stream, entries, kListCapacity, &overCapacity, &format);
    fclose(stream);
    if (format != kListInFormat) return ListFormatText(format);
    if (overCapacity) return "more than 200 entries: the restorer restores none of them";
    return "another restorer kept the folder for more than 5 minutes";
}

// Why an entry was kept, in check's words: the list check's finding, else
// the codec's reason for its JPEG, else what kept its BMP from being written.
std::string KeptReason(const RestoreRun& run, const PairEntry& kept) {
    for (int i = 0; i < run.count; ++i)
        if (strcmp(run.entries[i].jpgName, kept.jpgName) == 0 && strcmp(run.entries[i].bmpName, kept.bmpName) == 0 &&
            run.problems[i] != kEntryRestorable)
            return EntryProblemText(run.problems[i]);
    char jpeg[kUtf8PathSize], bmp[kUtf8PathSize];
    if (!ListEntryPath(jpeg, run.prefix, kept.jpgName) || !ListEntryPath(bmp, run.prefix, kept.bmpName))
        return EntryProblemText(kEntryNameNotCarried);
    if (!IsPlainFile(jpeg)) return EntryProblemText(kEntryJpegMissing);
    ImageHandle picture = JPGtoDIB(jpeg);
    if (!picture) return "the JPEG does not decode: " + CodecReason();
    DeleteDIB(picture);
    if (IsFolder(bmp)) return "a folder of the BMP's name is in the way";
    for (int i = 0; i < run.count; ++i)
        if (SameNameIgnoringCase(run.entries[i].bmpName, kept.bmpName) &&
            !SameNameIgnoringCase(run.entries[i].jpgName, kept.jpgName))
            return "another entry writes the same BMP from another JPEG";
    if (IsPlainFile(bmp))
        return "the JPEG decodes, but its BMP was not written whole or the JPEG not deleted (a full disk, a "
               "read-only file, or one another program holds)";
    return "the JPEG decodes, but its BMP could not be written (a full disk, or no right to write in the folder)";
}

}  // namespace

int RestoreCommand(const char* folder, int jobs, bool quiet) {
    static RestoreRun run;
    std::string folderProblem = FolderProblem(folder);
    if (!folderProblem.empty()) {
        ReportFileError(folder, folderProblem);
        return kNoList;
    }
    char listPath[kUtf8PathSize];
    if (!JoinFolder(run.prefix, folder, "") || !JoinFolder(listPath, folder, kPairListFileName)) {
        ReportFileError(folder, "path too long");
        return kNoList;
    }
    if (!ReadRestoreList(run.prefix)) {
        ReportFileError(listPath, NoListReason(listPath));
        return kNoList;
    }
    run.count = ReadList(listPath, run.entries);
    CheckListEntries(run.prefix, run.entries, run.count, run.problems);
    int outcome = RestoreListedFiles(jobs, ReportOne, &run);
    EndProgress(run.progress);
    // The list now holds exactly the entries that were not restored.
    int kept = outcome == kRestoredAll ? 0 : ReadList(listPath, run.kept);
    for (int i = 0; i < kept; ++i) {
        char path[kUtf8PathSize];
        if (!ListEntryPath(path, run.prefix, run.kept[i].jpgName)) (void)CopyString(path, run.kept[i].jpgName);
        ReportFileError(path, "not restored: " + KeptReason(run, run.kept[i]) + "; kept with its entry in the list");
    }
    if (!quiet && RestoreEntryCount() == 0 && outcome == kRestoredAll)
        PrintLine(stdout, std::string(run.prefix) + ": an earlier run's deletions finished; nothing else to restore");
    else if (!quiet)
        PrintLine(stdout, std::string(listPath) + ": " +
                              CountOf(RestoreEntryCount() - kept, "entry", "entries") + " restored, " +
                              std::to_string(kept) + " kept");
    // Another program (an antivirus scanner, most often) held files for a moment.
    if (!quiet && HeldFileWaits() > 0)
        PrintLine(stdout, "waited " + CountOf(static_cast<int>(HeldFileWaits()), "time", "times") +
                              " for files another program held");
    return outcome;
}
