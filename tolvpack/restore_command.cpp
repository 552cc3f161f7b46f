// tolvpack restore: what tolvinst does in an install folder, through the
// same procedure, without a window; for trying an install folder on the
// build machine. The exit code is the restore's outcome.
#include <cstdio>
#include <cstring>

#include "console.h"
#include "file_io.h"
#include "file_system.h"
#include "folder_files.h"
#include "list_check.h"
#include "pair_list.h"
#include "progress.h"
#include "restore.h"
#include "tolvpack.h"

namespace {

struct RestoreRun {
    char prefix[kUtf8PathSize];  // the folder with its separator
    PairEntry entries[kListCapacity];  // as read before the restore, for the BMP of each JPEG
    int count;
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

}  // namespace

int RestoreCommand(const char* folder, int jobs, bool quiet) {
    static RestoreRun run;
    char listPath[kUtf8PathSize];
    if (!JoinFolder(run.prefix, folder, "") || !JoinFolder(listPath, folder, kPairListFileName)) {
        ReportFileError(folder, "path too long");
        return kNoList;
    }
    if (!ReadRestoreList(run.prefix)) {
        ReportFileError(listPath, "no list to restore from (cannot be opened, not in the list format, or more than 200 entries)");
        return kNoList;
    }
    run.count = ReadList(listPath, run.entries);
    int outcome = RestoreListedFiles(jobs, ReportOne, &run);
    EndProgress(run.progress);
    // The list now holds exactly the entries that were not restored.
    int kept = outcome == kRestoredAll ? 0 : ReadList(listPath, run.entries);
    for (int i = 0; i < kept; ++i) {
        char path[kUtf8PathSize];
        if (!ListEntryPath(path, run.prefix, run.entries[i].jpgName)) (void)CopyString(path, run.entries[i].jpgName);
        ReportFileError(path, "not restored: kept with its entry in the list");
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
