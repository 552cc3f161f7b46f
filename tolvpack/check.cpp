// tolvpack check: whether the restorer would restore each entry of a
// folder's list as the folder stands (the list check the workbench's save
// and the restorer use), and what the JPEG costs: the restored picture's
// PSNR against the original BMP where it is at hand, and the bytes saved.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "file_system.h"
#include "folder_files.h"
#include "image.h"
#include "imgctl.h"
#include "list_check.h"
#include "pair_list.h"
#include "progress.h"
#include "tolvpack.h"

namespace {

const char* FormatText(ListFormat format) {
    switch (format) {
    case kListInFormat: break;
    case kListNoCount: return "not a list the restorer reads: empty";
    case kListByteOrderMark: return "not a list the restorer reads: a byte order mark before the count";
    case kListWideText: return "not a list the restorer reads: UTF-16 text (save it as Shift-JIS)";
    case kListCountNotDecimal: return "not a list the restorer reads: the count is not decimal digits";
    case kListNamesAfterNoEntries: return "not a list the restorer reads: a count of 0 followed by names";
    }
    return "";
}

const char* ProblemText(EntryProblem problem) {
    switch (problem) {
    case kEntryRestorable: break;
    case kEntryNameNotCarried: return "a name is empty, longer than 60 bytes, or holds a blank or a control byte";
    case kEntryNameLeavesFolder: return "a name leaves the folder";
    case kEntryPathTooLong: return "the path is longer than 255 bytes";
    case kEntryJpegMissing: return "no such JPEG in the folder";
    case kEntryBmpIsItsJpeg: return "the BMP would overwrite its own JPEG";
    case kEntryBmpIsAnotherJpeg: return "the BMP would overwrite another entry's JPEG";
    case kEntryBmpIsListFile: return "the BMP would overwrite the list file";
    }
    return "";
}

// A list name as the file system spells it; the list's own bytes when
// they are not Shift-JIS.
const char* RealName(const char* listName, char (&buffer)[kUtf8PathSize]) {
    return ListNameToUtf8(listName, buffer) ? buffer : listName;
}

// One sample of a decoded picture: grey pictures give the same value for
// red, green and blue, as the restored BMP shows them.
inline int Sample(const Image& image, const uint8_t* row, int x, int c) {
    return image.channels == 1 ? row[x] : row[3 * x + c];
}

// Peak signal-to-noise ratio of the JPEG's decode (what the restorer
// writes) against the BMP, over every red, green and blue sample. False
// when either cannot be decoded or their sizes differ.
bool MeasurePsnr(const char* jpgPath, const char* bmpPath, double* psnr) {
    ImageHandle jpg = JPGtoDIB(jpgPath);
    ImageHandle bmp = jpg ? BMPtoDIB(bmpPath) : 0;
    const Image* a = reinterpret_cast<const Image*>(jpg);
    const Image* b = reinterpret_cast<const Image*>(bmp);
    bool same = a && b && a->width == b->width && a->height == b->height;
    if (same) {
        double squares = 0;
        for (int y = 0; y < a->height; ++y) {
            const uint8_t* rowA = ImageRow(*a, y);
            const uint8_t* rowB = ImageRow(*b, y);
            for (int x = 0; x < a->width; ++x)
                for (int c = 0; c < 3; ++c) {
                    int d = Sample(*a, rowA, x, c) - Sample(*b, rowB, x, c);
                    squares += d * d;
                }
        }
        double mean = squares / (3.0 * a->width * a->height);
        *psnr = mean == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mean);
    }
    DeleteDIB(jpg);
    DeleteDIB(bmp);
    return same;
}

struct Totals {
    int restorable = 0;
    int measured = 0;
    double lowestPsnr = INFINITY;
    int64_t bmpBytes = 0;
    int64_t jpgBytes = 0;
};

}  // namespace

int CheckCommand(const CheckOptions& options) {
    char listPath[kUtf8PathSize], prefix[kUtf8PathSize];
    if (!JoinFolder(listPath, options.folder, kPairListFileName) || !JoinFolder(prefix, options.folder, "")) {
        ReportFileError(options.folder, "path too long");
        return kExitTrouble;
    }
    FILE* stream = OpenFile(listPath, "rb");
    if (!stream) {
        ReportFileError(listPath, "cannot open the list");
        return kExitTrouble;
    }
    static PairEntry entries[kListCapacity];
    bool overCapacity = false;
    ListFormat format = kListInFormat;
    int count = ReadPairListFile(stream, entries, kListCapacity, &overCapacity, &format);
    fclose(stream);
    if (format != kListInFormat) {
        ReportFileError(listPath, FormatText(format));
        return kExitTrouble;
    }
    bool pass = !overCapacity;
    char shown[kUtf8PathSize];
    if (overCapacity)
        printf("%s: more than 200 entries: the restorer restores none of them\n", ShownText(listPath, shown));

    static EntryProblem problems[kListCapacity];
    CheckListEntries(prefix, entries, count, problems);
    Progress progress;
    StartProgress(progress, "check", count);
    Totals totals;
    for (int i = 0; i < count; ++i) {
        char jpgReal[kUtf8PathSize], bmpReal[kUtf8PathSize];
        const char* jpgName = RealName(entries[i].jpgName, jpgReal);
        const char* bmpName = RealName(entries[i].bmpName, bmpReal);
        char jpgPath[kUtf8PathSize], bmpPath[kUtf8PathSize];
        bool restorable = problems[i] == kEntryRestorable && JoinFolder(jpgPath, options.folder, jpgName);
        bool atHand = restorable && JoinFolder(bmpPath, options.bmpFrom ? options.bmpFrom : options.folder, bmpName) &&
                      FileBytes(bmpPath) >= 0;
        double psnr = 0;
        bool measured = atHand && MeasurePsnr(jpgPath, bmpPath, &psnr);
        char result[200];
        if (!restorable) {
            snprintf(result, sizeof result, "%s", ProblemText(problems[i]));
            pass = false;
        } else if (!atHand) {
            snprintf(result, sizeof result, "no original BMP to compare%s",
                     options.minPsnrGiven ? " (needed for --min-psnr)" : "");
            pass = pass && !options.minPsnrGiven;
        } else if (!measured) {
            snprintf(result, sizeof result, "the JPEG does not decode to a picture of the BMP's size");
            pass = false;
        } else {
            int64_t bmpBytes = FileBytes(bmpPath), jpgBytes = FileBytes(jpgPath);
            ++totals.measured;
            totals.bmpBytes += bmpBytes;
            totals.jpgBytes += jpgBytes;
            if (psnr < totals.lowestPsnr) totals.lowestPsnr = psnr;
            bool fine = !options.minPsnrGiven || psnr >= options.minPsnr;
            pass = pass && fine;
            snprintf(result, sizeof result, "PSNR %.2f dB%s, %lld bytes saved (%.1f %%)", psnr,
                     fine ? "" : " (below --min-psnr)", static_cast<long long>(bmpBytes - jpgBytes),
                     bmpBytes > 0 ? 100.0 * (bmpBytes - jpgBytes) / bmpBytes : 0.0);
        }
        if (restorable) ++totals.restorable;
        ClearProgress(progress);
        char jpgShown[kUtf8PathSize], bmpShown[kUtf8PathSize];
        printf("%-13s %s -> %s: %s\n", restorable ? "restored" : "not restored", ShownText(jpgName, jpgShown),
               ShownText(bmpName, bmpShown), result);
        fflush(stdout);
        AdvanceProgress(progress, measured ? BmpMegapixels(bmpPath) : 0);
    }
    ClearProgress(progress);
    printf("%d entries, %d restored, %d not", count, totals.restorable, count - totals.restorable);
    if (totals.measured > 0)
        printf("; %d compared: lowest PSNR %.2f dB, %.1f MB of BMP as %.1f MB of JPEG (%.1f %% saved)",
               totals.measured, totals.lowestPsnr, totals.bmpBytes / 1e6, totals.jpgBytes / 1e6,
               totals.bmpBytes > 0 ? 100.0 * (totals.bmpBytes - totals.jpgBytes) / totals.bmpBytes : 0.0);
    printf("\n");
    return pass ? kExitGood : kExitNotPassed;
}
