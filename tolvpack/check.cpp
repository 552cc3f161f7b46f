// tolvpack check: the restore, rehearsed. Every entry of a folder's list is
// checked as the restorer checks it (the same procedure in the core) and
// its JPEG decoded completely, as the restorer would decode it; where the
// original BMP is at hand, the restored picture is measured against it
// (PSNR) and the bytes saved are counted.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console.h"
#include "file_system.h"
#include "folder_files.h"
#include "image.h"
#include "imgctl.h"
#include "json.h"
#include "list_check.h"
#include "pack_rules.h"
#include "pair_list.h"
#include "picture_quality.h"
#include "progress.h"
#include "reasons.h"
#include "restored_form.h"
#include "ssimulacra2.h"
#include "tolvpack.h"

namespace {

enum Status {
    kOk, kWouldNotRestore, kBelowMinimum, kNotCompared, kOtherPicture, kLarger, kLosesAlpha, kOtherForm,
    kBelowMinQuality, kStatusCount
};

const char* const kStatusWords[kStatusCount] = {"ok",           "would not restore",    "below --min-psnr",
                                               "not compared", "not the BMP's picture", "larger than its BMP",
                                               "loses its alpha", "another form", "below --min-quality"};
const char* const kJsonStatus[kStatusCount] = {"ok",           "would_not_restore", "below_min_psnr",
                                              "not_compared", "other_picture",     "larger_than_bmp",
                                              "loses_alpha",  "other_form", "below_min_quality"};
// What does not fail the check: told all the same.
bool Passes(Status status) { return status == kOk || status == kLarger || status == kOtherForm; }

// A list name as the file system spells it; the list's own bytes when
// they are not Shift-JIS.
std::string RealName(const char* listName) {
    char name[kUtf8PathSize];
    return ListNameToUtf8(listName, name) ? name : listName;
}

struct EntryReport {
    std::string jpgName, bmpName;
    Status status = kOk;
    std::string reason;
    int64_t bmpBytes = -1, jpgBytes = -1;
    double psnr = NAN;  // NAN: not measured
    double score = NAN;  // SSIMULACRA2 of the restored picture; NAN: not measured
    double megapixels = 0;
    int64_t installedBytes = -1;  // the BMP the restorer writes, when the original is at hand
};

// One entry, rehearsed.
EntryReport CheckEntry(const CheckOptions& options, const PairEntry& entry, EntryProblem problem) {
    EntryReport report;
    report.jpgName = RealName(entry.jpgName);
    report.bmpName = RealName(entry.bmpName);
    char jpgPath[kUtf8PathSize], bmpPath[kUtf8PathSize];
    if (problem == kEntryRestorable && !JoinFolder(jpgPath, options.folder, report.jpgName.c_str()))
        problem = kEntryPathTooLong;
    if (problem != kEntryRestorable) {
        report.status = kWouldNotRestore;
        report.reason = EntryProblemText(problem);
        return report;
    }
    report.jpgBytes = FileBytes(jpgPath);
    ImageHandle jpg = JPGtoDIB(jpgPath);
    if (!jpg) {
        report.status = kWouldNotRestore;
        report.reason = "the JPEG does not decode: " + CodecReason();
        return report;
    }
    bool atHand = JoinFolder(bmpPath, options.bmpFrom ? options.bmpFrom : options.folder, report.bmpName.c_str()) &&
                  IsPlainFile(bmpPath);
    ImageHandle bmp = atHand ? BMPtoDIB(bmpPath) : 0;
    const Image* a = reinterpret_cast<const Image*>(jpg);
    const Image* b = reinterpret_cast<const Image*>(bmp);
    report.megapixels = a->width * static_cast<double>(a->height) / 1e6;
    if (!atHand || !bmp) {
        report.status = options.minPsnrGiven || options.minQualityGiven ? kNotCompared : kOk;
        report.reason = !atHand ? "no original BMP to compare" : "the original BMP does not load: " + CodecReason();
    } else if (!PicturePsnr(jpg, bmp, &report.psnr)) {
        report.status = kOtherPicture;
        report.reason = "the JPEG is " + std::to_string(a->width) + "x" + std::to_string(a->height) + ", the BMP " +
                        std::to_string(b->width) + "x" + std::to_string(b->height);
    } else {
        report.bmpBytes = FileBytes(bmpPath);
        char text[160];
        const long long saved = report.bmpBytes - report.jpgBytes;
        Ssimulacra2(bmp, jpg, &report.score);
        int length = std::isinf(report.psnr)
                         ? snprintf(text, sizeof text, "identical pixels")
                         : snprintf(text, sizeof text, "PSNR %.2f dB, SSIMULACRA2 %.1f", report.psnr, report.score);
        if (saved >= 0)
            snprintf(text + length, sizeof text - length, ", %lld bytes saved (%.1f %%)", saved,
                     report.bmpBytes > 0 ? 100.0 * saved / report.bmpBytes : 0.0);
        else
            snprintf(text + length, sizeof text - length, ", larger than its BMP by %lld bytes", -saved);
        report.reason = text;
        BmpForm form;
        std::string change;
        if (ReadBmpForm(bmpPath, &form)) {
            report.installedBytes = static_cast<int64_t>(form.restoredBytes);
            change = RestoredFormChange(form, report.bmpBytes);
        }
        if (!change.empty()) report.reason += "; " + change;
        if (form.alphaInUse) {
            report.status = kLosesAlpha;
            report.reason = "the BMP's alpha channel is in use and the JPEG has none: ship the BMP itself";
        } else if (options.minPsnrGiven && report.psnr < options.minPsnr) {
            report.status = kBelowMinimum;
        } else if (options.minQualityGiven && !(report.score >= options.minQuality)) {
            report.status = kBelowMinQuality;
        } else if (!change.empty()) {
            report.status = kOtherForm;
        } else if (report.jpgBytes > report.bmpBytes) {
            report.status = kLarger;
        }
    }
    DeleteDIB(jpg);
    DeleteDIB(bmp);
    return report;
}

// The BMPs of the folder that no entry writes: they ship as they are. With
// --bmp-from each must be its original byte for byte.
struct KeptBmps {
    long count = 0, identical = 0, differing = 0;
    std::string json;
};

bool SameBytes(const char* a, const char* b) {
    FILE* first = OpenFile(a, "rb");
    FILE* second = first ? OpenFile(b, "rb") : nullptr;
    bool same = first && second;
    char x[64 << 10], y[64 << 10];
    while (same) {
        size_t got = fread(x, 1, sizeof x, first);
        same = fread(y, 1, sizeof y, second) == got && memcmp(x, y, got) == 0 && !ferror(first) && !ferror(second);
        if (got == 0) break;
    }
    if (first) fclose(first);
    if (second) fclose(second);
    return same;
}

KeptBmps CheckKeptBmps(const CheckOptions& options, const PairEntry* entries, int count) {
    KeptBmps kept;
    std::vector<FolderFile> found;
    if (!ListFolderFiles(options.folder, &found)) return kept;
    for (const FolderFile& file : found) {
        bool restored = false;
        for (int i = 0; i < count && !restored; ++i)
            restored = file.spelt && SameNameIgnoringCase(entries[i].bmpName, file.listName);
        if (restored || !IsBmpFileName(file.name)) continue;
        ++kept.count;
        char path[kUtf8PathSize], original[kUtf8PathSize];
        std::string status = "not_compared", text = "ships as it is";
        if (options.bmpFrom && JoinFolder(path, options.folder, file.name) &&
            JoinFolder(original, options.bmpFrom, file.name) && IsPlainFile(original)) {
            bool same = SameBytes(path, original);
            status = same ? "identical" : "differs";
            text = same ? "ships as it is, byte for byte its original" : "differs from its original in --bmp-from";
            ++(same ? kept.identical : kept.differing);
        }
        if (!options.quiet && !options.json) PrintLine(stdout, std::string("kept BMP              ") + file.name + ": " + text);
        if (status == "differs") ReportFileError(file.name, "kept BMP: " + text);
        kept.json += std::string(kept.json.empty() ? "" : ", ") + "{\"bmp\": " + JsonString(file.name) +
                     ", \"status\": " + JsonString(status) + ", \"bytes\": " + JsonNumber(FileBytes(path)) + "}";
    }
    return kept;
}

long CountBmps(const char* folder) {
    CheckOptions counting = {};
    counting.folder = folder;
    counting.json = counting.quiet = true;
    return CheckKeptBmps(counting, nullptr, 0).count;
}

std::string JsonEntry(const EntryReport& report) {
    return "{\"jpeg\": " + JsonString(report.jpgName) + ", \"bmp\": " + JsonString(report.bmpName) +
           ", \"status\": " + JsonString(kJsonStatus[report.status]) + ", \"reason\": " + JsonString(report.reason) +
           ", \"bmp_bytes\": " + (report.bmpBytes >= 0 ? JsonNumber(report.bmpBytes) : "null") +
           ", \"jpeg_bytes\": " + (report.jpgBytes >= 0 ? JsonNumber(report.jpgBytes) : "null") +
           ", \"psnr_db\": " + JsonNumber(report.psnr, 2) + ", \"ssimulacra2\": " + JsonNumber(report.score, 2) +
           ", \"identical\": " +
           (std::isnan(report.psnr) ? "null" : std::isinf(report.psnr) ? "true" : "false") + "}";
}

}  // namespace

int CheckCommand(const CheckOptions& options) {
    std::string folderProblem = FolderProblem(options.folder);
    if (!folderProblem.empty()) {
        ReportFileError(options.folder, folderProblem);
        return kExitTrouble;
    }
    char listPath[kUtf8PathSize], prefix[kUtf8PathSize];
    if (!JoinFolder(listPath, options.folder, kPairListFileName) || !JoinFolder(prefix, options.folder, "")) {
        ReportFileError(options.folder, "path too long");
        return kExitTrouble;
    }
    if (options.bmpFrom && !IsFolder(options.bmpFrom)) {
        ReportFileError(options.bmpFrom, "--bmp-from: no such folder");
        return kExitTrouble;
    }
    // The restorer reads only a plain file; reading a FIFO would wait forever.
    if (FileBytes(listPath) >= 0 && !IsPlainFile(listPath)) {
        const char* what = IsFolder(listPath) ? "a folder" : "not a regular file (a FIFO or a device)";
        ReportFileError(listPath, std::string(what) + ": the restorer reads no list from it (put the list pack writes in its place)");
        return kExitTrouble;
    }
    // A folder whose every picture ships as its BMP has no list.
    static PairEntry entries[kListCapacity];
    bool overCapacity = false;
    ListFormat format = kListInFormat;
    int count = 0;
    if (FileBytes(listPath) >= 0) {
        FILE* stream = OpenFile(listPath, "rb");
        if (!stream) {
            ReportFileError(listPath, "cannot open the list");
            return kExitTrouble;
        }
        count = ReadPairListFile(stream, entries, kListCapacity, &overCapacity, &format);
        fclose(stream);
    } else if (CountBmps(options.folder) == 0) {
        ReportFileError(options.folder, "no tvfile.txt here, and no BMP: not a packed folder (make one with "
                                        "'tolvpack pack -o FOLDER SOURCE')");
        return kExitTrouble;
    }
    if (format != kListInFormat) {
        ReportFileError(listPath, ListFormatText(format));
        return kExitTrouble;
    }
    if (overCapacity) {
        std::string text = "more than 200 entries: the restorer restores none of them";
        if (!options.quiet && !options.json) PrintLine(stdout, std::string(listPath) + ": " + text);
        ReportFileError(listPath, text);
        return kExitNotPassed;
    }

    // Nothing to measure --min-psnr against: one usage error, not an entry
    // after entry "not compared".
    bool bmpAtHand = options.bmpFrom != nullptr;
    for (int i = 0; i < count && !bmpAtHand; ++i) {
        char bmpPath[kUtf8PathSize];
        bmpAtHand = JoinFolder(bmpPath, options.folder, RealName(entries[i].bmpName).c_str()) && IsPlainFile(bmpPath);
    }
    if ((options.minPsnrGiven || options.minQualityGiven) && count > 0 && !bmpAtHand)
        return UsageError(std::string(options.minPsnrGiven ? "--min-psnr" : "--min-quality") +
                              ": no original BMP in " + options.folder +
                              " to measure against: give --bmp-from FOLDER, the folder pack read", "check");

    static EntryProblem problems[kListCapacity];
    CheckListEntries(prefix, entries, count, problems);
    Progress progress;
    StartProgress(progress, "check", count);
    long counts[kStatusCount] = {};
    int measured = 0;
    double lowestPsnr = INFINITY, lowestScore = INFINITY;
    int64_t bmpBytes = 0, jpgBytes = 0;
    std::string json = "{\"list\": " + JsonString(listPath) + ", \"entries\": [";
    for (int i = 0; i < count; ++i) {
        EntryReport report = CheckEntry(options, entries[i], problems[i]);
        ++counts[report.status];
        if (report.bmpBytes >= 0) {
            ++measured;
            bmpBytes += report.bmpBytes;
            jpgBytes += report.jpgBytes;
            if (report.psnr < lowestPsnr) lowestPsnr = report.psnr;
            if (report.score < lowestScore) lowestScore = report.score;
        }
        ClearProgress(progress);
        char line[64];
        snprintf(line, sizeof line, "%-21s ", kStatusWords[report.status]);
        std::string subject = report.jpgName + " -> " + report.bmpName;
        if (!options.quiet && !options.json) PrintLine(stdout, line + subject + ": " + report.reason);
        if (report.status != kOk || (report.jpgBytes > report.bmpBytes && report.bmpBytes >= 0))
            ReportFileError(report.jpgName, report.status == kLarger ? report.reason  // says "larger than its BMP by"
                                                                     : std::string(kStatusWords[report.status]) + ": " + report.reason);
        json += (i ? ", " : "") + JsonEntry(report);
        AdvanceProgress(progress, report.megapixels);
    }
    ClearProgress(progress);
    KeptBmps kept = CheckKeptBmps(options, entries, count);
    // A JPEG larger than its BMP restores well: told, but no failure.
    long passing = 0;
    for (int status = kOk; status < kStatusCount; ++status)
        if (Passes(static_cast<Status>(status))) passing += counts[status];
    bool passed = passing == count && kept.differing == 0;
    std::string summary = CountOf(count, "entry", "entries") + ": " + std::to_string(counts[kOk]) + " ok";
    for (int status = kOk + 1; status < kStatusCount; ++status)
        if (counts[status]) summary += ", " + std::to_string(counts[status]) + " " + kStatusWords[status];
    if (kept.count > 0) {
        summary += "; " + CountOf(kept.count, "BMP", "BMPs") + (kept.count == 1 ? " kept as it is" : " kept as they are");
        if (options.bmpFrom)
            summary += " (" + std::to_string(kept.identical) + " identical to --bmp-from" +
                       (kept.differing ? ", " + std::to_string(kept.differing) + " differing" : "") + ")";
    }
    if (measured > 0) {
        char text[200];
        char lowest[80] = "pixels identical";
        if (!std::isinf(lowestPsnr))
            snprintf(lowest, sizeof lowest, "lowest PSNR %.2f dB, lowest SSIMULACRA2 %.1f", lowestPsnr, lowestScore);
        snprintf(text, sizeof text, "; %d compared: %s, %.1f MB of BMP as %.1f MB of JPEG (%.1f %% saved)",
                 measured, lowest, bmpBytes / 1e6, jpgBytes / 1e6,
                 bmpBytes > 0 ? 100.0 * (bmpBytes - jpgBytes) / bmpBytes : 0.0);
        summary += text;
    }
    if (options.json) {
        json += "], \"totals\": {\"entries\": " + std::to_string(count);
        for (int status = kOk; status < kStatusCount; ++status)
            json += ", " + JsonString(kJsonStatus[status]) + ": " + std::to_string(counts[status]);
        json += ", \"compared\": " + std::to_string(measured) + ", \"lowest_psnr_db\": " + JsonNumber(lowestPsnr, 2) +
                ", \"lowest_ssimulacra2\": " + JsonNumber(lowestScore, 2) +
                ", \"bmp_bytes\": " + JsonNumber(bmpBytes) + ", \"jpeg_bytes\": " + JsonNumber(jpgBytes) +
                ", \"kept_bmps\": " + std::to_string(kept.count) + ", \"kept_identical\": " +
                std::to_string(kept.identical) + ", \"kept_differing\": " + std::to_string(kept.differing) +
                "}, \"kept\": [" + kept.json + "], \"passed\": " + (passed ? "true" : "false") + "}\n";
        PrintRaw(stdout, json);
    } else if (!options.quiet) {
        PrintLine(stdout, summary);
    }
    if (!passed && (options.quiet || options.json)) ReportFileError(listPath, summary);
    return passed ? kExitGood : kExitNotPassed;
}
