// tolvpack pack: "総bmp>jpg", "全追加" and "上書き保存" in one go. The JPEGs
// are the folder conversion's (the same job on the same pool), the list
// holds every JPEG made with the BMP it came from, in byte order of the
// names so that the same folder always gives the same list file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "convert.h"
#include "convert_pool.h"
#include "file_system.h"
#include "folder_files.h"
#include "imgctl.h"
#include "json.h"
#include "list_check.h"
#include "pack_rules.h"
#include "pair_list.h"
#include "picture_quality.h"
#include "progress.h"
#include "tolvpack.h"

namespace {

struct PackFile {
    PairEntry listed;  // Shift-JIS names
    std::string jpgName, bmpName;  // the real names
    PoolJob job;
    bool converted;
    std::string reason;  // why it was left out
    QualityChoice choice;  // with --target-psnr
};

struct PackRun {
    std::vector<PackFile> files;  // taken, in list order
    std::vector<std::pair<std::string, std::string>> leftOut;  // names the list cannot carry, and why
    Progress progress;
};

// With --target-psnr each job first finds its quality, then converts at it.
// Every job writes only its own place.
double TargetPsnr;
std::vector<QualityChoice>* Choices;

int RunTargetPsnrJob(const PoolJob& job) {
    QualityChoice choice = LowestQualityReaching(job.source, TargetPsnr, job.progressive, job.optimize);
    (*Choices)[static_cast<size_t>(job.number)] = choice;
    return choice.quality > 0 && ConvertBmpToJpg(job.target, job.source, choice.quality, job.progressive, job.optimize);
}

void ReportOne(const PoolJob& job, int status, void* context) {
    PackRun& run = *static_cast<PackRun*>(context);
    run.files[static_cast<size_t>(job.number)].converted = status != 0;
    AdvanceProgress(run.progress, BmpMegapixels(job.source));
}

// A file that did not convert is tried once more here, where the codec's
// reason for refusing it can be read.
void FindWhyNotConverted(PackFile* file) {
    const PoolJob& job = file->job;
    int quality = file->choice.quality > 0 ? file->choice.quality : job.quality;
    if (ConvertBmpToJpg(job.target, job.source, quality, job.progressive, job.optimize)) {
        file->converted = true;
        return;
    }
    char text[160];
    DescribeImgctlError(LastImgctlError(), text, sizeof text);
    file->reason = text;
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
               PackRun* run) {
    std::vector<PackFile>* taken = &run->files;
    bool all = true;
    char shown[kUtf8PathSize];
    for (const FolderFile* file : bmps) {
        if (!JoinFolder(shown, options.source, file->name)) (void)CopyString(shown, file->name);
        PackFile pack = {};
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
            run->leftOut.push_back({file->name, problem});
            all = false;
            continue;
        }
        pack.job.run = options.targetGiven ? RunTargetPsnrJob : RunBmpToJpgJob;
        pack.job.quality = options.quality;
        pack.job.progressive = options.progressive;
        pack.job.optimize = options.optimize;
        pack.bmpName = file->name;
        pack.jpgName = jpgName;
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

// JPEG files in the output folder that the new list does not name would
// ship with the pictures (an installer takes *.jpg): reported, or removed
// with --clean. False when any is left.
bool DealWithStaleJpegs(const PackOptions& options, const char* outFolder, const std::vector<PackFile>& files) {
    std::vector<FolderFile> found;
    if (!ListFolderFiles(outFolder, &found)) return true;
    bool none = true;
    for (const FolderFile& file : found) {
        size_t length = strlen(file.name);
        if (length < 4 || !SameNameIgnoringCase(file.name + length - 4, ".jpg")) continue;
        bool listed = false;
        for (const PackFile& packed : files)
            listed = listed || (packed.converted && file.spelt && SameNameIgnoringCase(packed.listed.jpgName, file.listName));
        char path[kUtf8PathSize];
        if (listed || !JoinFolder(path, outFolder, file.name)) continue;
        if (options.clean && RemoveFile(path)) {
            if (!options.quiet) ReportFileError(path, "removed: not in the new list");
            continue;
        }
        ReportFileError(path, "not in the new list, but would ship with it (--clean removes it)");
        none = false;
    }
    return none;
}

std::string JsonFile(const PackFile& file, int64_t bmpBytes, int64_t jpgBytes) {
    std::string quality = file.converted ? std::to_string(file.choice.quality > 0 ? file.choice.quality : file.job.quality)
                                         : "null";
    return "{\"jpeg\": " + JsonString(file.jpgName) + ", \"bmp\": " + JsonString(file.bmpName) +
           ", \"status\": " + JsonString(!file.converted                            ? "left_out"
                                          : file.choice.quality > 0 && !file.choice.reached ? "below_target"
                                          : jpgBytes > bmpBytes                              ? "larger_than_bmp"
                                                                                             : "ok") +
           ", \"reason\": " + JsonString(file.reason) + ", \"bmp_bytes\": " + JsonNumber(bmpBytes) +
           ", \"jpeg_bytes\": " + (file.converted ? JsonNumber(jpgBytes) : "null") + ", \"psnr_db\": " +
           (file.choice.quality > 0 ? JsonNumber(file.choice.psnr, 2) : "null") + ", \"quality\": " + quality + "}";
}

}  // namespace

int PackCommand(const PackOptions& options) {
    const char* outFolder = options.out ? options.out : options.source;
    std::vector<FolderFile> found;
    std::vector<std::string> subfolders;
    if (!ListFolderFiles(options.source, &found, &subfolders)) {
        ReportFileError(options.source, "cannot read the folder");
        return kExitTrouble;
    }
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::string& name : subfolders) {
        char path[kUtf8PathSize];
        if (!options.quiet && JoinFolder(path, options.source, name.c_str()))
            ReportFileError(path, "a subfolder: not entered (a list names the files of one folder)");
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
    bool all = TakeFiles(options, bmps, outFolder, &run);
    char listPath[kUtf8PathSize];
    if (!JoinFolder(listPath, outFolder, kPairListFileName)) {
        ReportFileError(outFolder, "path too long");
        return kExitTrouble;
    }
    if (options.out && !MakeFolders(options.out)) {
        ReportFileError(options.out, "cannot make the folder");
        return kExitTrouble;
    }
    // What the saves of a pack killed here left behind.
    char outPrefix[kUtf8PathSize];
    if (JoinFolder(outPrefix, outFolder, "")) RemoveSaveLeftovers(outPrefix);

    std::vector<QualityChoice> choices(run.files.size(), QualityChoice{});
    TargetPsnr = options.targetPsnr;
    Choices = &choices;
    StartProgress(run.progress, "pack", static_cast<long>(run.files.size()));
    ConvertPool* pool = StartPool(options.jobs, ReportOne, &run);
    for (const PackFile& file : run.files) AddPoolJob(pool, file.job);
    FinishPool(pool);
    EndProgress(run.progress);
    for (size_t i = 0; i < run.files.size(); ++i) run.files[i].choice = choices[i];

    long converted = 0;
    int64_t bmpBytes = 0, jpgBytes = 0;
    std::string json = "{\"list\": " + JsonString(listPath) + ", \"entries\": [";
    for (size_t i = 0; i < run.files.size(); ++i) {
        PackFile& file = run.files[i];
        if (!file.converted) FindWhyNotConverted(&file);
        int64_t bmp = FileBytes(file.job.source), jpg = file.converted ? FileBytes(file.job.target) : 0;
        if (!file.converted) {
            ReportFileError(file.job.source, "cannot convert: " + file.reason + ": left out");
            all = false;
            continue;
        }
        ++converted;
        bmpBytes += bmp;
        jpgBytes += jpg;
        if (jpg > bmp) {
            ReportFileError(file.job.target, "larger than its BMP (" + std::to_string(jpg) + " bytes against " +
                                                 std::to_string(bmp) + "): a lower quality, or the BMP itself, ships smaller");
        }
        if (options.targetGiven && !options.quiet && !options.json) {
            char text[200];
            snprintf(text, sizeof text, ": quality %d, PSNR %.2f dB%s, %lld bytes", file.choice.quality,
                     file.choice.psnr, file.choice.reached ? "" : " (short of the target even at 100)",
                     static_cast<long long>(jpg));
            PrintLine(stdout, file.jpgName + text);
        }
        if (options.targetGiven && !file.choice.reached) {
            char why[120];
            snprintf(why, sizeof why, "short of --target-psnr even at quality 100 (PSNR %.2f dB)", file.choice.psnr);
            file.reason = why;
            ReportFileError(file.job.target, file.reason);
            all = false;
        }
    }
    if (!WriteList(listPath, run.files)) {
        ReportFileError(listPath, "cannot write the list");
        return kExitTrouble;
    }
    if (!DealWithStaleJpegs(options, outFolder, run.files)) all = false;
    char text[160];
    snprintf(text, sizeof text, "; %.1f MB of BMP as %.1f MB of JPEG", bmpBytes / 1e6, jpgBytes / 1e6);
    std::string summary = std::string(listPath) + ": " + CountOf(converted, "entry", "entries") + text;
    if (options.targetGiven && converted > 0) {
        int lowest = 100, highest = 1;
        double lowestPsnr = INFINITY;
        for (const PackFile& file : run.files) {
            if (!file.converted) continue;
            lowest = std::min(lowest, file.choice.quality);
            highest = std::max(highest, file.choice.quality);
            lowestPsnr = std::min(lowestPsnr, file.choice.psnr);
        }
        snprintf(text, sizeof text, "; qualities %d..%d, lowest PSNR %.2f dB", lowest, highest, lowestPsnr);
        summary += text;
    }
    for (size_t i = 0; i < run.files.size(); ++i) {
        const PackFile& file = run.files[i];
        json += (i ? ", " : "") + JsonFile(file, FileBytes(file.job.source), file.converted ? FileBytes(file.job.target) : 0);
    }
    for (const auto& left : run.leftOut)
        json += (json.back() == '[' ? "{\"jpeg\": null, \"bmp\": " : ", {\"jpeg\": null, \"bmp\": ") + JsonString(left.first) +
                ", \"status\": \"left_out\", \"reason\": " + JsonString(left.second) +
                ", \"bmp_bytes\": null, \"jpeg_bytes\": null, \"psnr_db\": null, \"quality\": null}";
    if (options.json) {
        json += "], \"totals\": {\"entries\": " + std::to_string(converted) + ", \"left_out\": " +
                std::to_string(static_cast<long>(bmps.size()) - converted) + ", \"bmp_bytes\": " +
                JsonNumber(bmpBytes) + ", \"jpeg_bytes\": " + JsonNumber(jpgBytes) + "}, \"passed\": " +
                (all ? "true" : "false") + "}\n";
        PrintRaw(stdout, json);
    } else if (!options.quiet) {
        PrintLine(stdout, summary);
    }
    return all ? kExitGood : kExitNotPassed;
}
