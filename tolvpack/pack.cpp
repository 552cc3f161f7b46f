// tolvpack pack: "総bmp>jpg", "全追加" and "上書き保存" in one go. The JPEGs
// are the folder conversion's (the same conversion on the same pool), the
// list holds every JPEG made with the BMP it came from, in byte order of the
// names so that the same folder always gives the same list file. Each
// picture ships as whichever the installer carries in fewer bytes after its
// own compression: its JPEG, or its BMP as it is (kept, and not listed).
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
#include "blocks.h"
#include "file_io.h"
#include "file_system.h"
#include "folder_files.h"
#include "imgctl.h"
#include "json.h"
#ifdef TOLVANE_HAVE_JPEGLI
#include "jpegli_write.h"
#endif
#include "list_check.h"
#include "pack_rules.h"
#include "pair_list.h"
#include "picture_quality.h"
#include "progress.h"
#include "reasons.h"
#include "restored_form.h"
#include "tolvpack.h"

namespace {

// What one picture ships as, and why; filled by its job.
struct Decision {
    QualityChoice choice;  // the JPEG's quality and chroma (psnr NAN when not measured)
    bool keepBmp;          // ships as its BMP, as it is
    std::string why;
    uint64_t jpegInstallerBytes, bmpInstallerBytes;
    bool bmpAtLeast;       // the BMP compressed only until it had lost: its size is at least this
    BmpForm form;
    bool formKnown;
};

struct PackFile {
    PairEntry listed;  // Shift-JIS names
    std::string jpgName, bmpName;  // the real names
    PoolJob job;
    bool converted;       // it ships, as a JPEG or as its BMP
    std::string reason;   // why it was left out
    Decision decision;
    std::string keptPath; // where its BMP ships, when kept
};

struct PackRun {
    std::vector<PackFile> files;  // taken, in list order
    std::vector<std::pair<std::string, std::string>> leftOut;  // names the list cannot carry, and why
    Progress progress;
};

// Each job finds its picture's quality and chroma, converts, and weighs the
// JPEG against the BMP as the installer will carry them. Every job writes
// only its own place.
const PackOptions* Options;
std::vector<Decision>* Decisions;

// The JPEG's settings: the options', or searched for the picture.
QualityChoice ChooseSettings(const PoolJob& job) {
    const PackOptions& options = *Options;
    const QualityTarget target = options.targetQuality ? QualityTarget{kMeasureSsimulacra2, options.targetScore}
                                                       : QualityTarget{kMeasurePsnr, options.targetPsnr};
    if (options.chromaAuto)
        return ChooseChroma(job.source, options.targetGiven ? 0 : job.quality, target, job.progressive, job.optimize);
    if (options.targetGiven)
        return LowestQualityReaching(job.source, target, job.progressive, job.optimize, options.chroma);
    return QualityChoice{job.quality, NAN, 0, true, options.chroma, NAN};
}

int RunPackJob(const PoolJob& job) {
    const PackOptions& options = *Options;
    Decision& decision = (*Decisions)[static_cast<size_t>(job.number)];
    decision.formKnown = ReadBmpForm(job.source, &decision.form);
    if (decision.formKnown && decision.form.alphaInUse) {
        decision.keepBmp = true;
        decision.why = "its alpha channel is in use, which a JPEG cannot carry";
        return InstallerBytesOfFile(job.source, options.compressor, &decision.bmpInstallerBytes);
    }
    decision.choice = ChooseSettings(job);
    const QualityChoice& choice = decision.choice;
    if (choice.quality == 0 ||
        !ConvertBmpToJpg(job.target, job.source, choice.quality, job.progressive, job.optimize, choice.chroma) ||
        !InstallerBytesOfFile(job.target, options.compressor, &decision.jpegInstallerBytes))
        return 0;
    // Once past the JPEG's, the BMP has lost: the rest is not compressed.
    if (!InstallerBytesOfFile(job.source, options.compressor, &decision.bmpInstallerBytes,
                              decision.jpegInstallerBytes, &decision.bmpAtLeast))
        return 0;
    decision.keepBmp = !options.allJpeg && decision.bmpInstallerBytes <= decision.jpegInstallerBytes;
    decision.why = options.allJpeg ? "--all-jpeg"
                   : decision.keepBmp ? "fewer bytes in the installer as its BMP"
                                      : "fewer bytes in the installer as a JPEG";
    return 1;
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
    if (RunPackJob(job)) {
        file->converted = true;
        return;
    }
    char text[160];
    DescribeImgctlError(LastImgctlError(), text, sizeof text);
    file->reason = text;
}

// How the BMP restored from the JPEG will differ from the one it came from.
std::string FormChange(const Decision& decision, int64_t bmpBytes) {
    if (!decision.formKnown || decision.keepBmp) return "";
    return RestoredFormChange(decision.form, bmpBytes);
}

// Copies a file byte for byte, whole or not at all.
bool CopyWhole(const char* from, const char* to) {
    uint8_t* data;
    size_t size;
    if (!ReadWholeFile(from, UINT64_MAX, &data, &size)) return false;
    SaveFile file;
    bool saved = BeginSave(&file, to);
    if (saved) {
        SaveBytes(&file, data, size);
        saved = CommitSave(&file);
    }
    GiveBlock(data);
    return saved;
}

// The kept BMP in the output folder, and no JPEG of it: the JPEG its job
// made, or an earlier pack's, would ship beside it.
bool PlaceKeptBmp(PackFile* file, const char* outFolder, const char* sourceFolder) {
    char path[kUtf8PathSize];
    if (!JoinFolder(path, outFolder, file->bmpName.c_str())) return false;
    file->keptPath = path;
    if (IsPlainFile(file->job.target)) RemoveFile(file->job.target);
    return SameFolder(outFolder, sourceFolder) || CopyWhole(file->job.source, path);
}

bool ListedBefore(const FolderFile* a, const FolderFile* b) {
    // Names without a Shift-JIS spelling sort by their own bytes: they are
    // only reported, but in the same order every time.
    const char* x = a->spelt ? a->listName : a->name;
    const char* y = b->spelt ? b->listName : b->name;
    return strcmp(x, y) < 0;
}

// Why a name cannot go into the list, and what to do; "" when it can.
std::string NameProblem(const FolderFile& file) {
    if (!file.spelt) return UnspeltNameAdvice(file.name);
    if (strlen(file.listName) > kNameBytes)
        return "name longer than 60 bytes in Shift-JIS (" + std::to_string(strlen(file.listName)) +
               "): left out; rename it shorter";
    if (!IsCarriableName(file.listName))
        return "name holds a blank or a control byte: left out; rename it without (an underscore for a blank)";
    return "";
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
        std::string problem = NameProblem(*file);
        if (problem.empty() && (!CopyString(pack.listed.bmpName, file->listName) ||
                                !DeriveJpegName(file->listName, pack.listed.jpgName, kNameSize)))
            problem = "name cannot be made into a JPEG name: left out";
        for (const PackFile& earlier : *taken) {
            // The installer's file system ignores case, so "A.bmp" and
            // "a.BMP" would make one JPEG.
            if (problem.empty() && SameNameIgnoringCase(earlier.listed.jpgName, pack.listed.jpgName))
                problem = "makes the same JPEG name as " + earlier.bmpName +
                          " (Windows does not tell case apart): left out; rename one of them";
        }
        char jpgName[kUtf8PathSize];
        if (problem.empty() && static_cast<int>(taken->size()) >= kListCapacity)
            problem = "the list is full (200 entries): left out; pack the rest from a folder of their own";
        if (problem.empty() && (!JoinFolder(pack.job.source, options.source, file->name) ||
                                !DeriveJpegName(file->name, jpgName, sizeof jpgName) ||
                                !JoinFolder(pack.job.target, outFolder, jpgName)))
            problem = "path longer than 255 bytes: left out";
        if (!problem.empty()) {
            ReportFileError(shown, problem);
            run->leftOut.push_back({file->name, problem});
            all = false;
            continue;
        }
        pack.job.run = RunPackJob;
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
// With no JPEG to ship there is no list, and the installer needs no
// restorer: an earlier pack's list goes.
bool WriteList(const char* listPath, const std::vector<PackFile>& files) {
    std::vector<PairEntry> entries;
    for (const PackFile& file : files)
        if (file.converted && !file.decision.keepBmp) entries.push_back(file.listed);
    if (entries.empty()) return !IsPlainFile(listPath) || RemoveFile(listPath);
    return SavePairListFile(listPath, entries.data(), static_cast<int>(entries.size()));
}

// JPEG files in the output folder that the new list does not name, and BMP
// files this pack did not keep there, would ship with the pictures (an
// installer takes *.jpg and *.bmp): reported, or removed with --clean.
// In the source folder itself every BMP is a source, never stale. False
// when any is left.
bool DealWithStaleFiles(const PackOptions& options, const char* outFolder, const std::vector<PackFile>& files) {
    std::vector<FolderFile> found;
    if (!ListFolderFiles(outFolder, &found)) return true;
    const bool besideSources = SameFolder(outFolder, options.source);
    bool none = true;
    for (const FolderFile& file : found) {
        size_t length = strlen(file.name);
        bool jpeg = length >= 4 && SameNameIgnoringCase(file.name + length - 4, ".jpg");
        bool bmp = !besideSources && IsBmpFileName(file.name);
        if (!jpeg && !bmp) continue;
        bool shipping = false;
        for (const PackFile& packed : files) {
            if (!packed.converted || !file.spelt) continue;
            if (jpeg && !packed.decision.keepBmp) shipping |= SameNameIgnoringCase(packed.listed.jpgName, file.listName);
            if (bmp && packed.decision.keepBmp) shipping |= SameNameIgnoringCase(packed.listed.bmpName, file.listName);
        }
        char path[kUtf8PathSize];
        if (shipping || !JoinFolder(path, outFolder, file.name)) continue;
        if (options.clean && RemoveFile(path)) {
            if (!options.quiet) ReportFileError(path, "removed: not in the new list");
            continue;
        }
        ReportFileError(path, jpeg ? "not in the new list, but would ship with it (--clean removes it)"
                                   : "not kept by this pack, but would ship with it (--clean removes it)");
        none = false;
    }
    return none;
}

std::string KiB(uint64_t bytes) {
    if (bytes < 10000) return std::to_string(bytes) + " bytes";
    char text[32];
    if (bytes < 10000000) snprintf(text, sizeof text, "%.1f KB", bytes / 1e3);
    else snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    return text;
}

std::string JsonFile(const PackFile& file, int64_t bmpBytes, int64_t jpgBytes) {
    const Decision& d = file.decision;
    const bool asJpeg = file.converted && !d.keepBmp;
    std::string quality = asJpeg ? std::to_string(d.choice.quality) : "null";
    std::string change = FormChange(d, bmpBytes);
    uint64_t installed = asJpeg && d.formKnown ? d.form.restoredBytes : static_cast<uint64_t>(bmpBytes);
    return "{\"jpeg\": " + (asJpeg ? JsonString(file.jpgName) : std::string("null")) +
           ", \"bmp\": " + JsonString(file.bmpName) + ", \"status\": " +
           JsonString(!file.converted                                  ? "left_out"
                      : asJpeg && !d.choice.reached                     ? "below_target"
                      : asJpeg && jpgBytes > bmpBytes                   ? "larger_than_bmp"
                                                                        : "ok") +
           ", \"ships\": " + (file.converted ? JsonString(d.keepBmp ? "bmp" : "jpeg") : "null") +
           ", \"why\": " + (file.converted ? JsonString(d.why) : "null") + ", \"reason\": " + JsonString(file.reason) +
           ", \"bmp_bytes\": " + JsonNumber(bmpBytes) + ", \"jpeg_bytes\": " + (asJpeg ? JsonNumber(jpgBytes) : "null") +
           ", \"bmp_installer_bytes\": " + (file.converted ? JsonNumber(static_cast<int64_t>(d.bmpInstallerBytes)) : "null") +
           ", \"bmp_installer_bytes_at_least\": " + (d.bmpAtLeast ? "true" : "false") +
           ", \"jpeg_installer_bytes\": " +
           (file.converted && d.jpegInstallerBytes ? JsonNumber(static_cast<int64_t>(d.jpegInstallerBytes)) : "null") +
           ", \"installed_bytes\": " + (file.converted ? JsonNumber(static_cast<int64_t>(installed)) : "null") +
           ", \"form_change\": " + (change.empty() ? "null" : JsonString(change)) + ", \"psnr_db\": " +
           (asJpeg && !std::isnan(d.choice.psnr) ? JsonNumber(d.choice.psnr, 2) : "null") + ", \"ssimulacra2\": " +
           (asJpeg && !std::isnan(d.choice.score) ? JsonNumber(d.choice.score, 2) : "null") + ", \"quality\": " + quality +
           ", \"chroma\": " + (asJpeg ? JsonString(d.choice.chroma == kChroma444 ? "444" : "420") : "null") + "}";
}

// The restorer's own compressed size: every installer that ships a JPEG
// carries it. Looked for beside this program unless named; -1 when unknown.
int64_t RestorerInstallerBytes(const PackOptions& options) {
    char path[kUtf8PathSize];
    if (options.restorer) {
        if (!CopyString(path, options.restorer)) return -1;
    } else if (!ProgramFolderFile(path, "tolvinst.exe")) {
        return -1;
    }
    uint64_t bytes = 0;
    return IsPlainFile(path) && InstallerBytesOfFile(path, options.compressor, &bytes) ? static_cast<int64_t>(bytes)
                                                                                      : -1;
}

// The JPEGs need the restorer in the installer: when all they save is less
// than it costs, every picture ships as its BMP and no restorer ships.
int64_t JpegGain(const PackRun& run, bool* anyJpeg, bool* anyAtLeast) {
    int64_t gain = 0;
    for (const PackFile& file : run.files) {
        const Decision& d = file.decision;
        if (!file.converted || d.keepBmp) continue;
        *anyJpeg = true;
        *anyAtLeast |= d.bmpAtLeast;
        gain += static_cast<int64_t>(d.bmpInstallerBytes) - static_cast<int64_t>(d.jpegInstallerBytes);
    }
    return gain;
}

void KeepAllWhenTheRestorerCostsMore(PackRun* run, int64_t restorerBytes, Compressor compressor) {
    if (restorerBytes < 0) return;
    bool anyJpeg = false, anyAtLeast = false;
    int64_t gain = JpegGain(*run, &anyJpeg, &anyAtLeast);
    if (!anyJpeg || gain > restorerBytes) return;
    // A close call: the BMPs counted only in part are counted whole.
    if (anyAtLeast) {
        for (PackFile& file : run->files) {
            Decision& d = file.decision;
            if (file.converted && !d.keepBmp && d.bmpAtLeast &&
                InstallerBytesOfFile(file.job.source, compressor, &d.bmpInstallerBytes))
                d.bmpAtLeast = false;
        }
        anyAtLeast = false;
        gain = JpegGain(*run, &anyJpeg, &anyAtLeast);
        if (gain > restorerBytes) return;
    }
    for (PackFile& file : run->files) {
        Decision& d = file.decision;
        if (!file.converted || d.keepBmp) continue;
        d.keepBmp = true;
        d.why = "the JPEGs would save " + KiB(static_cast<uint64_t>(gain > 0 ? gain : 0)) +
                ", less than the restorer costs (" + KiB(static_cast<uint64_t>(restorerBytes)) + ")";
    }
}

struct Totals {
    long asJpeg = 0, kept = 0;
    int64_t bmpBytes = 0, jpgBytes = 0;
    uint64_t bmpOnly = 0, packed = 0, installed = 0;
    bool atLeast = false;  // some BMP counted only until it had lost
};

// One line per picture: what ships, why, and what it costs the installer.
void ReportPicture(const PackFile& file, int64_t bmp, int64_t jpg, Compressor compressor) {
    const Decision& d = file.decision;
    std::string line;
    if (d.keepBmp) {
        line = file.bmpName + ": ships as its BMP, " + KiB(d.bmpInstallerBytes) + " in the installer (" + d.why;
        line += d.jpegInstallerBytes ? "; as a JPEG: " + KiB(d.jpegInstallerBytes) + ")" : ")";
    } else {
        char settings[96];
        snprintf(settings, sizeof settings, "quality %d, %s", d.choice.quality,
                 d.choice.chroma == kChroma444 ? "4:4:4" : "4:2:0");
        if (std::isinf(d.choice.psnr)) snprintf(settings + strlen(settings), 40, ", identical pixels");
        else if (!std::isnan(d.choice.psnr)) snprintf(settings + strlen(settings), 40, ", PSNR %.2f dB", d.choice.psnr);
        if (!std::isnan(d.choice.score)) snprintf(settings + strlen(settings), 40, ", SSIMULACRA2 %.1f", d.choice.score);
        line = file.jpgName + ": ships as a JPEG (" + settings + "), " + std::to_string(jpg) + " bytes, " +
               KiB(d.jpegInstallerBytes) + " in the installer; as its BMP: " + (d.bmpAtLeast ? "more than " : "") +
               KiB(d.bmpInstallerBytes);
        std::string change = FormChange(d, bmp);
        if (!change.empty()) line += "; " + change;
    }
    (void)compressor;
    PrintLine(stdout, line);
}

}  // namespace

// The encoder of every JPEG this run makes.
void ChooseEncoder(bool jpegli) {
#ifdef TOLVANE_HAVE_JPEGLI
    UseJpegli(jpegli);
#else
    (void)jpegli;
#endif
}

int PackCommand(const PackOptions& options) {
    const char* outFolder = options.out ? options.out : options.source;
    ChooseEncoder(options.jpegli);
    std::vector<FolderFile> found;
    std::vector<std::string> subfolders;
    std::string folderProblem = FolderProblem(options.source);
    if (!folderProblem.empty() || !ListFolderFiles(options.source, &found, &subfolders)) {
        ReportFileError(options.source, folderProblem.empty() ? "cannot read the folder" : folderProblem);
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
    // Files pack leaves alone are counted, so a PNG beside the BMPs is no
    // surprise; beside the sources, the list and JPEGs are pack's own.
    std::vector<std::string> others;
    for (const FolderFile& file : found) {
        size_t length = strlen(file.name);
        bool own = SameNameIgnoringCase(file.name, kPairListFileName) ||
                   (SameFolder(outFolder, options.source) && length >= 4 &&
                    SameNameIgnoringCase(file.name + length - 4, ".jpg"));
        if (!IsBmpFileName(file.name) && !own) others.push_back(file.name);
    }
    std::sort(others.begin(), others.end());
    const std::string otherFiles =
        others.empty() ? ""
                       : CountOf(static_cast<long>(others.size()), "other file", "other files") +
                             " not packed (only .bmp files are): " + others[0] + (others.size() > 1 ? ", ..." : "");
    if (bmps.empty()) {
        ReportFileError(options.source, "no BMP files in the folder" + (others.empty() ? "" : "; " + otherFiles));
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

    std::vector<Decision> decisions(run.files.size(), Decision{});
    Options = &options;
    Decisions = &decisions;
    StartProgress(run.progress, "pack", static_cast<long>(run.files.size()));
    ConvertPool* pool = StartPool(options.jobs, ReportOne, &run);
    for (const PackFile& file : run.files) AddPoolJob(pool, file.job);
    FinishPool(pool);
    EndProgress(run.progress);
    for (size_t i = 0; i < run.files.size(); ++i) run.files[i].decision = decisions[i];
    const int64_t restorerBytes = RestorerInstallerBytes(options);
    if (!options.allJpeg) KeepAllWhenTheRestorerCostsMore(&run, restorerBytes, options.compressor);

    Totals totals;
    const bool report = !options.quiet && !options.json;
    for (size_t i = 0; i < run.files.size(); ++i) {
        PackFile& file = run.files[i];
        if (!file.converted) FindWhyNotConverted(&file);
        if (file.converted && file.decision.keepBmp && !PlaceKeptBmp(&file, outFolder, options.source)) {
            file.converted = false;
            file.reason = "cannot copy the BMP into the output folder";
        }
        if (!file.converted) {
            ReportFileError(file.job.source, "cannot convert: " + file.reason + ": left out");
            all = false;
            continue;
        }
        const Decision& d = file.decision;
        int64_t bmp = FileBytes(file.job.source), jpg = d.keepBmp ? 0 : FileBytes(file.job.target);
        totals.bmpBytes += bmp;
        totals.bmpOnly += d.bmpInstallerBytes;
        totals.atLeast |= d.bmpAtLeast;
        if (d.keepBmp) {
            ++totals.kept;
            totals.packed += d.bmpInstallerBytes;
            totals.installed += static_cast<uint64_t>(bmp);
        } else {
            ++totals.asJpeg;
            totals.jpgBytes += jpg;
            totals.packed += d.jpegInstallerBytes;
            totals.installed += d.formKnown ? d.form.restoredBytes : static_cast<uint64_t>(bmp);
        }
        if (report) ReportPicture(file, bmp, jpg, options.compressor);
        if (!d.keepBmp && jpg > bmp)
            ReportFileError(file.job.target, "larger than its BMP by " + std::to_string(jpg - bmp) + " bytes (" +
                                                 std::to_string(jpg) + " against " + std::to_string(bmp) + ")");
        if (!d.keepBmp && options.targetGiven && !d.choice.reached) {
            char why[120];
            if (options.targetQuality)
                snprintf(why, sizeof why, "short of --target-quality even at quality 100 (SSIMULACRA2 %.1f)",
                         d.choice.score);
            else
                snprintf(why, sizeof why, "short of --target-psnr even at quality 100 (PSNR %.2f dB)", d.choice.psnr);
            file.reason = why;
            ReportFileError(file.job.target, file.reason);
            all = false;
        }
    }
    if (!WriteList(listPath, run.files)) {
        ReportFileError(listPath, "cannot write the list");
        return kExitTrouble;
    }
    if (!DealWithStaleFiles(options, outFolder, run.files)) all = false;

    uint64_t listBytes = 0;
    if (totals.asJpeg > 0) InstallerBytesOfFile(listPath, options.compressor, &listBytes);
    totals.packed += listBytes;
    const int64_t restorer = totals.asJpeg > 0 ? restorerBytes : 0;
    const int64_t saved = static_cast<int64_t>(totals.bmpOnly) - static_cast<int64_t>(totals.packed) -
                          (restorer > 0 ? restorer : 0);

    std::string summary = std::string(totals.asJpeg > 0 ? listPath : outFolder) + ": " +
                          CountOf(totals.asJpeg, "JPEG", "JPEGs") + " listed, " +
                          CountOf(totals.kept, "BMP", "BMPs") + (totals.kept == 1 ? " kept as it is" : " kept as they are");
    if (totals.asJpeg == 0) summary += " (no list: the installer needs no restorer)";
    summary += std::string("; in the installer (") + CompressorName(options.compressor) + "): " + KiB(totals.packed);
    if (restorer > 0) summary += " and the restorer's " + KiB(static_cast<uint64_t>(restorer));
    summary += std::string(", against ") + (totals.atLeast ? "more than " : "") + KiB(totals.bmpOnly) + " as BMPs only";
    char text[200];
    if (restorer >= 0 && totals.bmpOnly > 0) {
        snprintf(text, sizeof text, ": %s%s %s (%.1f %%)", totals.atLeast && saved >= 0 ? "more than " : "",
                 KiB(static_cast<uint64_t>(saved < 0 ? -saved : saved)).c_str(), saved < 0 ? "more" : "saved",
                 100.0 * (saved < 0 ? -saved : saved) / static_cast<double>(totals.bmpOnly));
        summary += text;
    } else if (restorer < 0) {
        summary += " (the restorer not counted: give --restorer tolvinst.exe)";
    }
    if (totals.installed != static_cast<uint64_t>(totals.bmpBytes)) {
        summary += "; installed: " + KiB(totals.installed) + " of BMPs (the originals: " +
                   KiB(static_cast<uint64_t>(totals.bmpBytes)) + ")";
    }
    if (!others.empty()) summary += "; " + otherFiles;
    if (report && totals.kept > 0 && !options.out)
        PrintLine(stdout, "the BMPs made into JPEGs stay beside the kept ones: ship the JPEGs, the list and only the "
                          "kept BMPs, or pack with -o into a folder to ship whole");

    if (options.json) {
        std::string json = "{\"list\": " + (totals.asJpeg > 0 ? JsonString(listPath) : std::string("null")) +
                           ", \"entries\": [";
        for (size_t i = 0; i < run.files.size(); ++i) {
            const PackFile& file = run.files[i];
            json += (i ? ", " : "") + JsonFile(file, FileBytes(file.job.source),
                                               file.converted && !file.decision.keepBmp ? FileBytes(file.job.target) : 0);
        }
        for (const auto& left : run.leftOut)
            json += (json.back() == '[' ? "{\"jpeg\": null, \"bmp\": " : ", {\"jpeg\": null, \"bmp\": ") +
                    JsonString(left.first) + ", \"status\": \"left_out\", \"ships\": null, \"why\": null, \"reason\": " +
                    JsonString(left.second) +
                    ", \"bmp_bytes\": null, \"jpeg_bytes\": null, \"bmp_installer_bytes\": null, "
                    "\"bmp_installer_bytes_at_least\": false, \"jpeg_installer_bytes\": null, \"installed_bytes\": null, "
                    "\"form_change\": null, \"psnr_db\": null, \"ssimulacra2\": null, \"quality\": null, \"chroma\": null}";
        json += "], \"totals\": {\"entries\": " + std::to_string(totals.asJpeg) + ", \"kept_bmps\": " +
                std::to_string(totals.kept) + ", \"left_out\": " +
                std::to_string(static_cast<long>(bmps.size()) - totals.asJpeg - totals.kept) + ", \"bmp_bytes\": " +
                JsonNumber(totals.bmpBytes) + ", \"jpeg_bytes\": " + JsonNumber(totals.jpgBytes) +
                ", \"compressor\": " + JsonString(CompressorName(options.compressor)) +
                ", \"encoder\": " + JsonString(options.jpegli ? "jpegli" : "libjpeg-turbo") +
                ", \"payload_bmp_only\": " + JsonNumber(static_cast<int64_t>(totals.bmpOnly)) +
                ", \"payload_bmp_only_at_least\": " + (totals.atLeast ? "true" : "false") +
                ", \"payload_packed\": " + JsonNumber(static_cast<int64_t>(totals.packed)) +
                ", \"restorer_installer_bytes\": " + (restorer >= 0 ? JsonNumber(restorer) : "null") +
                ", \"saved\": " + (restorer >= 0 ? JsonNumber(saved) : "null") +
                ", \"installed_bytes\": " + JsonNumber(static_cast<int64_t>(totals.installed)) +
                ", \"other_files\": " + std::to_string(others.size()) + "}, \"passed\": " +
                (all ? "true" : "false") + "}\n";
        PrintRaw(stdout, json);
    } else if (!options.quiet) {
        PrintLine(stdout, summary);
    }
    return all ? kExitGood : kExitNotPassed;
}
