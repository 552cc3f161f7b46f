// tolvpack pack: "総bmp>jpg", "全追加" and "上書き保存" in one go. The JPEGs
// are the folder conversion's (the same job on the same pool), the list
// holds every JPEG made with the BMP it came from, in byte order of the
// names so that the same folder always gives the same list file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "convert_pool.h"
#include "folder_files.h"
#include "list_check.h"
#include "pack_rules.h"
#include "pair_list.h"
#include "progress.h"
#include "tolvpack.h"

namespace {

struct PackFile {
    PairEntry listed;  // Shift-JIS names
    PoolJob job;
    bool converted;
};

struct PackRun {
    std::vector<PackFile> files;  // taken, in list order
    Progress progress;
};

void ReportOne(const PoolJob& job, int status, void* context) {
    PackRun& run = *static_cast<PackRun*>(context);
    run.files[static_cast<size_t>(job.number)].converted = status != 0;
    AdvanceProgress(run.progress, BmpMegapixels(job.source));
}

bool ListedBefore(const FolderFile* a, const FolderFile* b) {
    // Names without a Shift-JIS spelling sort by their own bytes: they are
    // only reported, but in the same order every time.
    const char* x = a->spelt ? a->listName : a->name;
    const char* y = b->spelt ? b->listName : b->name;
    return strcmp(x, y) < 0;
}

// Why a name cannot go into the list, or null.
const char* NameProblem(const FolderFile& file) {
    if (!file.spelt) return "no Shift-JIS spelling: left out";
    if (strlen(file.listName) > kNameBytes) return "name longer than 60 bytes in Shift-JIS: left out";
    if (!IsCarriableName(file.listName)) return "name holds a blank or a control byte: left out";
    return nullptr;
}

// Chooses the files the list can carry, reporting every other one.
bool TakeFiles(const PackOptions& options, const std::vector<const FolderFile*>& bmps, const char* outFolder,
               std::vector<PackFile>* taken) {
    bool all = true;
    char shown[kUtf8PathSize];
    for (const FolderFile* file : bmps) {
        if (!JoinFolder(shown, options.source, file->name)) (void)CopyString(shown, file->name);
        PackFile pack = {{}, {}, false};
        const char* problem = NameProblem(*file);
        if (!problem && (!CopyString(pack.listed.bmpName, file->listName) ||
                         !DeriveJpegName(file->listName, pack.listed.jpgName, kNameSize)))
            problem = "name cannot be made into a JPEG name: left out";
        for (const PackFile& earlier : *taken) {
            // The installer's file system ignores case, so "A.bmp" and
            // "a.BMP" would make one JPEG.
            if (!problem && SameNameIgnoringCase(earlier.listed.jpgName, pack.listed.jpgName))
                problem = "makes the same JPEG name as another BMP: left out";
        }
        char jpgName[kUtf8PathSize];
        if (!problem && static_cast<int>(taken->size()) >= kListCapacity)
            problem = "the list is full (200 entries): left out";
        if (!problem && (!JoinFolder(pack.job.source, options.source, file->name) ||
                         !DeriveJpegName(file->name, jpgName, sizeof jpgName) ||
                         !JoinFolder(pack.job.target, outFolder, jpgName)))
            problem = "path longer than 255 bytes: left out";
        if (problem) {
            ReportFileError(shown, problem);
            all = false;
            continue;
        }
        pack.job.run = RunBmpToJpgJob;
        pack.job.quality = options.quality;
        pack.job.progressive = options.progressive;
        taken->push_back(pack);
    }
    return all;
}

// Saved as the workbench and the restorer save a list: whole or not at all.
bool WriteList(const char* listPath, const std::vector<PackFile>& files) {
    std::vector<PairEntry> entries;
    for (const PackFile& file : files)
        if (file.converted) entries.push_back(file.listed);
    return SavePairListFile(listPath, entries.data(), static_cast<int>(entries.size()));
}

}  // namespace

int PackCommand(const PackOptions& options) {
    const char* outFolder = options.out ? options.out : options.source;
    std::vector<FolderFile> found;
    if (!ListFolderFiles(options.source, &found)) {
        ReportFileError(options.source, "cannot read the folder");
        return kExitTrouble;
    }
    std::vector<const FolderFile*> bmps;
    for (const FolderFile& file : found)
        if (IsBmpFileName(file.name)) bmps.push_back(&file);
    if (bmps.empty()) {
        ReportFileError(options.source, "no BMP files in the folder");
        return kExitNotPassed;
    }
    std::sort(bmps.begin(), bmps.end(), ListedBefore);

    PackRun run;
    bool all = TakeFiles(options, bmps, outFolder, &run.files);
    char listPath[kUtf8PathSize];
    if (!JoinFolder(listPath, outFolder, kPairListFileName)) {
        ReportFileError(outFolder, "path longer than 255 bytes");
        return kExitTrouble;
    }
    if (options.out && !MakeFolders(options.out)) {
        ReportFileError(options.out, "cannot make the folder");
        return kExitTrouble;
    }

    StartProgress(run.progress, "pack", static_cast<long>(run.files.size()));
    ConvertPool* pool = StartPool(options.jobs, ReportOne, &run);
    for (const PackFile& file : run.files) AddPoolJob(pool, file.job);
    FinishPool(pool);
    EndProgress(run.progress);

    long converted = 0;
    int64_t bmpBytes = 0, jpgBytes = 0;
    for (const PackFile& file : run.files) {
        if (!file.converted) {
            ReportFileError(file.job.source, "cannot convert (not a BMP picture the codec reads, or the JPEG "
                                             "cannot be written): left out");
            all = false;
            continue;
        }
        ++converted;
        bmpBytes += FileBytes(file.job.source);
        jpgBytes += FileBytes(file.job.target);
    }
    if (!WriteList(listPath, run.files)) {
        ReportFileError(listPath, "cannot write the list");
        return kExitTrouble;
    }
    char shown[kUtf8PathSize];
    printf("%s: %ld entries; %.1f MB of BMP as %.1f MB of JPEG\n", ShownText(listPath, shown), converted,
           bmpBytes / 1e6, jpgBytes / 1e6);
    return all ? kExitGood : kExitNotPassed;
}
