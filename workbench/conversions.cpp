// Single-file and folder conversions of the Convert menu. Every failure is
// shown: a conversion that wrote nothing is never passed off as done.
#include "conversions.h"

#include <windows.h>

#include <cstdio>

#include "bounded_string.h"
#include "command_support.h"
#include "convert.h"
#include "convert_pool.h"
#include "frame.h"
#include "settings.h"
#include "text_encoding.h"

int FolderConvertWorkers = 0;

namespace {

const char kCannotConvert[] = "変換出来ません！";
const char kConverted[] = "変換完了";

// What sets the three directions apart.
struct Direction {
    const char* caption;  // of every message box
    const char* sourceTitle;
    const char* sourceFilter;
    size_t replacedBytes;  // the target name: the source's last bytes replaced
    const char* replacement;
    const char* targetTitle;
    const char* targetFilter;
    const char* folderTitle;
    const char* pattern;  // appended to the folder and its separator
};

const Direction kJpgToBmp = {"JPG>BMP変換",
                             "ＪＰＧファイル読み出し",
                             "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0",
                             3,
                             "bmp",
                             "ＢＭＰファイル書き込み",
                             "BmpFile(*.bmp)\0*.bmp\0ALLFile(*.*)\0*.*\0",
                             "JPG>BMP変換：フォルダを選択",
                             "*.jpg"};
const Direction kBmpToJpg = {"BMP>JPG変換",
                             "ＢＭＰファイル読み出し",
                             "BmpFile(*.bmp)\0*.bmp\0ALLFile(*.*)\0*.*\0",
                             3,
                             "jpg",
                             "ＪＰＧファイル書き込み",
                             "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0",
                             "BMP>JPG変換：フォルダを選択",
                             "*.bmp"};
const Direction kJpgToJpg = {"JPG>JPG変換",
                             "ＪＰＧファイル読み出し",
                             "jpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0",
                             4,
                             "1.jpg",
                             "ＪＰＧファイル書き込み",
                             "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0",
                             "JPG>JPG変換：フォルダを選択",
                             "*.jpg"};

const Direction& DirectionOf(ConversionKind kind) {
    switch (kind) {
    case ConversionKind::JpgToBmp: return kJpgToBmp;
    case ConversionKind::BmpToJpg: return kBmpToJpg;
    case ConversionKind::JpgToJpg: break;
    }
    return kJpgToJpg;
}

// The JPEG options as they are at this moment. True when the target was
// written. The chooser's paths are ANSI; the codec takes UTF-8.
bool Convert(ConversionKind kind, const char* ansiSource, const char* ansiTarget) {
    char source[kUtf8PathSize], target[kUtf8PathSize];
    if (!AnsiToUtf8(ansiSource, source) || !AnsiToUtf8(ansiTarget, target)) return false;
    switch (kind) {
    case ConversionKind::JpgToBmp: return ConvertJpgToBmp(target, source) != 0;
    case ConversionKind::BmpToJpg:
        return ConvertBmpToJpg(target, source, JpegOptions.quality, JpegOptions.progressive) != 0;
    case ConversionKind::JpgToJpg:
        return ConvertJpgToJpg(source, target, JpegOptions.quality, JpegOptions.progressive) != 0;
    }
    return false;
}

// folder + "\" + name, without looking at the folder's end: a drive root
// gives two separators in a row, which Windows reads as one.
bool JoinPath(char (&path)[kPathSize], const char* folder, const char* name) {
    return CopyString(path, folder) && AppendString(path, "\\") && AppendString(path, name);
}

// A folder run has three parts kept apart: the search that hands out the
// found names, the job made for one found file (which shares nothing but
// the read-only run and the JPEG options), and the tally with its closing
// box. The jobs run on every processor; each name is handed to the pool as
// it is found, so a large folder is never held in memory at once.

// One run of a folder command: what every file of it shares.
struct FolderRun {
    ConversionKind kind;
    char folder[kPathSize];
    char outputFolder[kPathSize];  // re-encoding only
    bool madeOutputFolder;         // by this run: it did not exist before
};

// The search: file names one by one, in the file system's order. Folders
// whose names match the pattern are no files to convert.
struct FolderSearch {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA found;
    bool pending = false;  // `found` holds a name not yet handed out
};

bool StartSearch(FolderSearch& search, const FolderRun& run) {
    char pattern[kPathSize];
    if (!JoinPath(pattern, run.folder, DirectionOf(run.kind).pattern)) return false;
    search.handle = FindFirstFileA(pattern, &search.found);
    search.pending = search.handle != INVALID_HANDLE_VALUE;
    return search.pending;
}

const char* NextFoundFile(FolderSearch& search) {
    while (search.pending || FindNextFileA(search.handle, &search.found)) {
        search.pending = false;
        if (!(search.found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return search.found.cFileName;
    }
    return nullptr;
}

void EndSearch(FolderSearch& search) {
    if (search.handle != INVALID_HANDLE_VALUE) FindClose(search.handle);
}

PoolJobProcedure JobProcedureOf(ConversionKind kind) {
    switch (kind) {
    case ConversionKind::JpgToBmp: return RunJpgToBmpJob;
    case ConversionKind::BmpToJpg: return RunBmpToJpgJob;
    case ConversionKind::JpgToJpg: break;
    }
    return RunJpgToJpgJob;
}

// One found file: its source and target paths, and the JPEG options as
// they are now. A path that does not fit gives a job that only counts as
// failed; a source path that does not fit is replaced by the bare name,
// which names the file in the closing box.
// The paths are made in ANSI, as the search found the name, and handed to
// the pool in UTF-8.
PoolJob MakeFoundFileJob(const FolderRun& run, const char* name) {
    PoolJob job = {};
    job.quality = JpegOptions.quality;
    job.progressive = JpegOptions.progressive;
    char source[kPathSize], target[kPathSize];
    if (!JoinPath(source, run.folder, name) || !AnsiToUtf8(source, job.source)) {
        if (!AnsiToUtf8(name, job.source)) job.source[0] = '\0';
        return job;
    }
    const Direction& direction = DirectionOf(run.kind);
    bool fits = run.kind == ConversionKind::JpgToJpg
                    ? JoinPath(target, run.outputFolder, name)
                    : CopyString(target, source) && ReplaceLastBytes(target, direction.replacedBytes, direction.replacement);
    if (fits && AnsiToUtf8(target, job.target)) job.run = JobProcedureOf(run.kind);
    return job;
}

// The closing message: "変換完了" only when every file converted; else
// the count and the first failed file in search order.
void ShowFolderResult(const char* caption, const PoolSummary& tally) {
    if (tally.done == 0) {
        ShowWarningBox(MainWindow(), kCannotConvert, caption);
    } else if (tally.failed == 0) {
        ShowCompletionBox(MainWindow(), kConverted, caption);
    } else {
        char first[kUtf8PathSize];
        if (!Utf8ToAnsi(PathNamePart(tally.firstFailed.source), first)) first[0] = '\0';
        char text[512];
        snprintf(text, sizeof text, "%s\n%ld ファイル中 %ld ファイルが失敗しました。\n最初のファイル : %s",
                 kCannotConvert, tally.done, tally.failed, first);
        ShowWarningBox(MainWindow(), text, caption);
    }
}

// Re-encoding writes into a subfolder named by the settings, read once per
// run. A name that is no real subfolder would put the targets onto their
// sources: refused before anything is created.
bool PrepareOutputFolder(FolderRun& run) {
    char name[kFolderNameSize];
    if (!CopyString(name, OutputFolderName) || !IsUsableFolderName(name)) {
        char text[256];
        snprintf(text, sizeof text, "変換フォルダ名「%s」は使えません！\n変換Folder(I)で設定し直して下さい。",
                 OutputFolderName);
        ShowWarningBox(MainWindow(), text, kJpgToJpg.caption);
        return false;
    }
    if (!JoinPath(run.outputFolder, run.folder, name)) {
        ShowWarningBox(MainWindow(), kCannotConvert, kJpgToJpg.caption);
        return false;
    }
    // An existing folder is simply used.
    run.madeOutputFolder = CreateDirectoryA(run.outputFolder, nullptr) != 0;
    return true;
}

// A run that wrote nothing leaves no empty folder of its own behind; one
// that was there before stays.
void RemoveUnusedOutputFolder(const FolderRun& run, const PoolSummary& tally) {
    if (run.madeOutputFolder && tally.done == tally.failed) RemoveDirectoryA(run.outputFolder);
}

}  // namespace

void SingleConvertCommand(ConversionKind kind) {
    const Direction& direction = DirectionOf(kind);
    char name[kPathSize] = "";
    if (!ChooseFile(MainWindow(), direction.sourceTitle, direction.sourceFilter, name)) return;
    char source[kPathSize];
    if (!CopyString(source, name)) return;
    // Only the last bytes are replaced, whatever they are. A proposal that
    // cannot be made leaves the chooser empty rather than holding the source.
    if (!ReplaceLastBytes(name, direction.replacedBytes, direction.replacement)) name[0] = '\0';
    if (!ChooseFile(MainWindow(), direction.targetTitle, direction.targetFilter, name)) return;
    char target[kPathSize];
    if (!CopyString(target, name)) return;
    // Success stays silent.
    if (!Convert(kind, source, target)) ShowWarningBox(MainWindow(), kCannotConvert, direction.caption);
}

void FolderConvertCommand(ConversionKind kind) {
    const Direction& direction = DirectionOf(kind);
    FolderRun run = {kind, "", "", false};
    if (!ChooseFolder(direction.folderTitle, run.folder)) return;
    if (kind == ConversionKind::JpgToJpg && !PrepareOutputFolder(run)) return;
    // Returns only when every job has finished.
    ConvertPool* pool = StartPool(FolderConvertWorkers, nullptr, nullptr);
    FolderSearch search;
    if (StartSearch(search, run)) {
        while (const char* name = NextFoundFile(search)) AddPoolJob(pool, MakeFoundFileJob(run, name));
    }
    EndSearch(search);
    PoolSummary tally = FinishPool(pool);
    RemoveUnusedOutputFolder(run, tally);
    ShowFolderResult(direction.caption, tally);
}
