// The conversions, settings, version dialog and help through the real menu
// ids, with the platform's choosers and message boxes answered in process.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "conversions.h"
#include "dialog_answerer.h"
#include "resource.h"
#include "settings.h"
#include "test_images.h"
#include "workbench_harness.h"

namespace {

const char kCannotConvert[] = "変換出来ません！";
const char kConverted[] = "変換完了";
const char kSettingsCaption[] = "JPG変換設定";
const char kFolderNameCaption[] = "JPG>JPG変換フォルダ名";

class ConversionTest : public WorkbenchTest {
protected:
    void SetUp() override {
        WorkbenchTest::SetUp();
        JpegOptions = {100, 0};
        snprintf(OutputFolderName, sizeof OutputFolderName, "changjpg");
    }
    std::string At(const std::string& name) const { return folder / name; }
    // What the reference encoder (libjpeg with its defaults) makes of these
    // pixels at this quality, decoded.
    Pixels Reference(const Pixels& pixels, int quality, bool progressive) {
        if (pixels.data.empty()) return {};
        JpegVariant variant;
        variant.quality = quality;
        variant.progressive = progressive;
        std::string path = scratch / "reference.jpg";
        EXPECT_TRUE(WriteJpegVariant(path, pixels, variant));
        return LoadJpegPixels(path);
    }
    TempFolder folder, scratch;
};

std::string TextOf(HWND window) {
    char text[20000] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

void Press(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Types into the settings dialog's field 81 and presses OK.
void TypeAndConfirm(int command, const char* caption, const std::string& typed) {
    OnCommand(command);
    HWND dialog = FindOwnWindow(caption);
    ASSERT_NE(nullptr, dialog);
    SetDlgItemTextA(dialog, IDC_FIRST_FIELD, typed.c_str());
    Press(dialog, IDC_OK);
    EXPECT_FALSE(IsWindow(dialog));
}

bool IsProgressive(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return jpeg[i + 1] == 0xC2;
    return false;
}

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void ExpectBox(const DialogAnswerer::Seen& seen, const char* caption, const std::string& text, bool warning) {
    EXPECT_EQ(DialogAnswerer::Kind::MessageBox, seen.kind);
    EXPECT_EQ(caption, seen.caption);
    EXPECT_EQ(text, seen.text);
    EXPECT_EQ(warning ? LoadIconA(nullptr, IDI_WARNING) : nullptr, seen.icon);
    EXPECT_EQ(MainWindow(), seen.owner);
}

// Runs a single-file command choosing `source`, then `target` (empty:
// OK on the proposal).
void RunSingle(int command, const std::string& source, const std::string& target = "") {
    DialogAnswerer answerer;
    answerer.ChooseFile(source);
    if (target.empty()) {
        answerer.AcceptFile();
    } else {
        answerer.ChooseFile(target);
    }
    OnCommand(command);
}

// Runs a folder command on `folder`: the browser's title, then the closing box.
std::vector<DialogAnswerer::Seen> RunFolder(int command, const std::string& folder) {
    DialogAnswerer answerer;
    answerer.ChooseFolder(folder);
    answerer.PressOk();
    OnCommand(command);
    std::vector<DialogAnswerer::Seen> seen = answerer.Answered();
    seen.resize(2);
    return seen;
}

TEST_F(ConversionTest, QualityFieldReadsThreeBytesAndKeepsOnly1To100) {
    struct Case {
        const char* typed;
        int quality;
    } cases[] = {{"75", 75}, {"0", 100},  {"1", 1},     {"-5", 100},  {"101", 100}, {"abc", 100},
                 {"12a", 12}, {"1000", 100}, {"0456", 45}, {"７５", 100}, {" 9", 9},    {"100", 100}};
    int shown = 100;
    for (const Case& c : cases) {
        OnCommand(IDM_JPEG_SETTINGS);
        HWND dialog = FindOwnWindow(kSettingsCaption);
        ASSERT_NE(nullptr, dialog);
        char field[16] = {};
        GetDlgItemTextA(dialog, IDC_FIRST_FIELD, field, sizeof field);
        EXPECT_EQ(std::to_string(shown), field) << "reopening shows the current quality";
        SetDlgItemTextA(dialog, IDC_FIRST_FIELD, c.typed);
        Press(dialog, IDC_OK);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(c.quality, JpegOptions.quality) << c.typed;
        shown = c.quality;
    }
    EXPECT_EQ(0, JpegOptions.progressive);
}

TEST_F(ConversionTest, ProgressiveActsWhenPressedAndTheCloseBoxKeepsQuality) {
    OnCommand(IDM_JPEG_SETTINGS);
    HWND dialog = FindOwnWindow(kSettingsCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, IDC_PROGRESSIVE_OFF)) << "starts off";
    Press(dialog, IDC_PROGRESSIVE_ON);
    EXPECT_EQ(1, JpegOptions.progressive) << "before OK";
    SetDlgItemTextA(dialog, IDC_FIRST_FIELD, "30");
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(1, JpegOptions.progressive);
    EXPECT_EQ(100, JpegOptions.quality) << "the close box keeps the quality";

    OnCommand(IDM_JPEG_SETTINGS);
    dialog = FindOwnWindow(kSettingsCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, IDC_PROGRESSIVE_ON));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, IDC_PROGRESSIVE_OFF));
    Press(dialog, IDC_PROGRESSIVE_OFF);
    EXPECT_EQ(0, JpegOptions.progressive);
    Press(dialog, IDC_OK);
}

// Each proposal replaces the source's last bytes, whatever they are; an
// existing target is replaced without a question.
TEST_F(ConversionTest, SingleCommandsProposeTheirTargetAndConvertIntoIt) {
    Pixels picture = MakePicture(40, 24, 3, 4);
    ASSERT_TRUE(SaveJpeg(At("photo.jpg"), picture, 90));
    ASSERT_TRUE(WriteBytes(At("photo.jpeg"), ReadBytes(At("photo.jpg"))));
    ASSERT_TRUE(WriteBytes(At("scan.bmp"), EncodePlainBmp(picture)));
    ASSERT_TRUE(WriteBytes(At("photo.bmp"), {'o', 'l', 'd'}));
    Pixels decoded = LoadJpegPixels(At("photo.jpg"));
    std::vector<uint8_t> source = ReadBytes(At("photo.jpg"));

    struct Case {
        int command;
        const char* source;
        const char* proposal;
        const char* titles[2];
        const char* filters[2];
    } cases[] = {
        {IDM_JPG_TO_BMP, "photo.jpg", "photo.bmp", {"ＪＰＧファイル読み出し", "ＢＭＰファイル書き込み"}, {"JpgFile(*.jpg)", "BmpFile(*.bmp)"}},
        {IDM_JPG_TO_BMP, "photo.jpeg", "photo.jbmp", {"ＪＰＧファイル読み出し", "ＢＭＰファイル書き込み"}, {"JpgFile(*.jpg)", "BmpFile(*.bmp)"}},
        {IDM_BMP_TO_JPG, "scan.bmp", "scan.jpg", {"ＢＭＰファイル読み出し", "ＪＰＧファイル書き込み"}, {"BmpFile(*.bmp)", "JpgFile(*.jpg)"}},
        {IDM_JPG_TO_JPG, "photo.jpg", "photo1.jpg", {"ＪＰＧファイル読み出し", "ＪＰＧファイル書き込み"}, {"jpgFile(*.jpg)", "JpgFile(*.jpg)"}},
        {IDM_JPG_TO_JPG, "photo.jpeg", "photo.1.jpg", {"ＪＰＧファイル読み出し", "ＪＰＧファイル書き込み"}, {"jpgFile(*.jpg)", "JpgFile(*.jpg)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.proposal);
        DialogAnswerer answerer;
        answerer.ChooseFile(At(c.source));
        answerer.AcceptFile();
        OnCommand(c.command);
        ASSERT_EQ(2u, answerer.Answered().size()) << "success stays silent";
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(c.titles[i], answerer.Answered()[i].caption);
            EXPECT_EQ(c.filters[i], answerer.Answered()[i].fileType);
        }
        EXPECT_EQ(0u, answerer.Answered()[0].text.size()) << "the source chooser starts empty";
        const std::string& shown = answerer.Answered()[1].text;
        EXPECT_EQ(c.proposal, shown.substr(shown.find_last_of('\\') + 1));
        if (c.command == IDM_JPG_TO_BMP) {
            EXPECT_EQ(0, MaxDifference(decoded, LoadBmpPixels(At(c.proposal))));
        } else {
            EXPECT_EQ(0, MaxDifference(Reference(c.command == IDM_BMP_TO_JPG ? picture : decoded, 100, false),
                                       LoadJpegPixels(At(c.proposal))));
        }
    }
    EXPECT_EQ(source, ReadBytes(At("photo.jpg"))) << "re-encoding leaves its source";
}

TEST_F(ConversionTest, JpegOptionsAreReadAtTheMomentOfConversion) {
    Pixels picture = MakePicture(48, 32, 3, 5);
    ASSERT_TRUE(WriteBytes(At("scan.bmp"), EncodePlainBmp(picture)));
    RunSingle(IDM_BMP_TO_JPG, At("scan.bmp"), At("first.jpg"));
    std::vector<uint8_t> first = ReadBytes(At("first.jpg"));

    TypeAndConfirm(IDM_JPEG_SETTINGS, kSettingsCaption, "75");
    OnCommand(IDM_JPEG_SETTINGS);
    HWND dialog = FindOwnWindow(kSettingsCaption);
    ASSERT_NE(nullptr, dialog);
    Press(dialog, IDC_PROGRESSIVE_ON);
    SendMessageA(dialog, WM_CLOSE, 0, 0);

    RunSingle(IDM_BMP_TO_JPG, At("scan.bmp"), At("second.jpg"));
    RunSingle(IDM_JPG_TO_JPG, At("first.jpg"), At("third.jpg"));
    EXPECT_FALSE(IsProgressive(first));
    EXPECT_EQ(0, MaxDifference(Reference(picture, 100, false), LoadJpegPixels(At("first.jpg"))));
    EXPECT_EQ(first, ReadBytes(At("first.jpg"))) << "the earlier result stays as it was";
    EXPECT_TRUE(IsProgressive(ReadBytes(At("second.jpg"))));
    EXPECT_EQ(0, MaxDifference(Reference(picture, 75, true), LoadJpegPixels(At("second.jpg"))));
    EXPECT_TRUE(IsProgressive(ReadBytes(At("third.jpg"))));
    EXPECT_EQ(0, MaxDifference(Reference(LoadJpegPixels(At("first.jpg")), 75, true), LoadJpegPixels(At("third.jpg"))));
}

TEST_F(ConversionTest, FailedSingleConversionWarnsWithItsDirectionAndWritesNothing) {
    ASSERT_TRUE(WriteBytes(At("note.bmp"), {'n', 'o', 't', 'e'}));
    ASSERT_TRUE(WriteBytes(At("note.jpg"), {'n', 'o', 't', 'e'}));
    struct Case {
        int command;
        const char* source;
        const char* caption;
    } cases[] = {{IDM_JPG_TO_BMP, "missing.jpg", "JPG>BMP変換"},
                 {IDM_BMP_TO_JPG, "note.bmp", "BMP>JPG変換"},
                 {IDM_JPG_TO_JPG, "note.jpg", "JPG>JPG変換"}};
    for (const Case& c : cases) {
        DialogAnswerer answerer;
        answerer.ChooseFile(At(c.source));
        answerer.ChooseFile(At("out.img"));
        answerer.PressOk();
        OnCommand(c.command);
        ASSERT_EQ(3u, answerer.Answered().size());
        ExpectBox(answerer.Answered()[2], c.caption, kCannotConvert, true);
    }
    EXPECT_EQ(2u, Listing(folder.Path()).size()) << "nothing written";
}

TEST_F(ConversionTest, CancelledChooserEndsTheCommand) {
    ASSERT_TRUE(SaveJpeg(At("photo.jpg"), MakePicture(8, 8, 3), 90));
    for (int command : {IDM_JPG_TO_BMP, IDM_BMP_TO_JPG, IDM_JPG_TO_JPG}) {
        {
            DialogAnswerer answerer;
            answerer.CancelFile();
            OnCommand(command);
            EXPECT_EQ(1u, answerer.Answered().size()) << "no target chooser after a cancelled source";
        }
        DialogAnswerer answerer;
        answerer.ChooseFile(At("photo.jpg"));
        answerer.CancelFile();
        OnCommand(command);
        EXPECT_EQ(2u, answerer.Answered().size()) << "no conversion and no box after a cancelled target";
    }
    for (int command : {IDM_FOLDER_JPG_TO_BMP, IDM_FOLDER_BMP_TO_JPG, IDM_FOLDER_JPG_TO_JPG}) {
        DialogAnswerer answerer;
        answerer.CancelFolder();
        OnCommand(command);
        EXPECT_EQ(1u, answerer.Answered().size()) << "no search after a cancelled folder chooser";
    }
    EXPECT_EQ(std::vector<std::string>{"photo.jpg"}, Listing(folder.Path()));
}

// Re-encoding replaces four bytes by five: a 255-byte source has no room.
TEST_F(ConversionTest, ProposalThatDoesNotFitLeavesTheTargetChooserEmpty) {
    std::string source = folder.Path() + "\\" + std::string(255 - folder.Path().size() - 5, 'p') + ".jpg";
    ASSERT_EQ(255u, source.size());
    ASSERT_TRUE(SaveJpeg(source, MakePicture(8, 8, 3), 90));
    DialogAnswerer answerer;
    answerer.ChooseFile(source);
    answerer.CancelFile();
    OnCommand(IDM_JPG_TO_JPG);
    ASSERT_EQ(2u, answerer.Answered().size());
    EXPECT_EQ("", answerer.Answered()[1].text);
}

// Folders named like a JPEG are skipped, not counted; a file that fails is
// counted and the first one named, the others converted all the same.
TEST_F(ConversionTest, FolderJpgToBmpConvertsTheGoodFilesAndReportsTheFailure) {
    ASSERT_TRUE(SaveJpeg(At("a.jpg"), MakePicture(33, 17, 3, 1), 90));
    ASSERT_TRUE(SaveJpeg(At("b.jpg"), MakePicture(20, 20, 1, 2), 70));
    std::vector<uint8_t> good = ReadBytes(At("a.jpg"));
    ASSERT_TRUE(WriteBytes(At("bad.jpg"), std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)));
    ASSERT_TRUE(CreateDirectoryA(At("dir.jpg").c_str(), nullptr));

    std::vector<DialogAnswerer::Seen> seen = RunFolder(IDM_FOLDER_JPG_TO_BMP, folder.Path());
    EXPECT_EQ("JPG>BMP変換：フォルダを選択", seen[0].text);
    ExpectBox(seen[1], "JPG>BMP変換", "変換出来ません！\n3 ファイル中 1 ファイルが失敗しました。\n最初のファイル : bad.jpg",
              true);
    for (const char* name : {"a", "b"})
        EXPECT_EQ(0, MaxDifference(LoadJpegPixels(At(name + std::string(".jpg"))), LoadBmpPixels(At(name + std::string(".bmp")))));
    EXPECT_FALSE(FileExists(At("bad.bmp")));
    EXPECT_FALSE(FileExists(At("dir.bmp")));
}

TEST_F(ConversionTest, FolderWithoutMatchingFilesWarns) {
    ASSERT_TRUE(SaveJpeg(At("a.jpg"), MakePicture(8, 8, 3), 90));
    ASSERT_TRUE(CreateDirectoryA(At("only a folder.bmp").c_str(), nullptr));
    std::vector<DialogAnswerer::Seen> seen = RunFolder(IDM_FOLDER_BMP_TO_JPG, folder.Path());
    EXPECT_EQ("BMP>JPG変換：フォルダを選択", seen[0].text);
    ExpectBox(seen[1], "BMP>JPG変換", kCannotConvert, true);
    EXPECT_EQ(2u, Listing(folder.Path()).size());
}

TEST_F(ConversionTest, FolderBmpToJpgUsesTheOptionsAndReportsCompletion) {
    Pixels picture = MakePicture(30, 22, 3, 6);
    ASSERT_TRUE(WriteBytes(At("x.bmp"), EncodePlainBmp(picture)));
    JpegOptions = {40, 1};
    ExpectBox(RunFolder(IDM_FOLDER_BMP_TO_JPG, folder.Path())[1], "BMP>JPG変換", kConverted, false);
    EXPECT_TRUE(IsProgressive(ReadBytes(At("x.jpg"))));
    EXPECT_EQ(0, MaxDifference(Reference(picture, 40, true), LoadJpegPixels(At("x.jpg"))));
}

TEST_F(ConversionTest, FolderReencodeWritesIntoTheSubfolderTwiceAndKeepsTheSources) {
    const char* names[] = {"one.jpg", "two.jpg", "three.jpg"};
    std::vector<std::vector<uint8_t>> sources;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(SaveJpeg(At(names[i]), MakePicture(24 + i, 16, 3, i), 95));
        sources.push_back(ReadBytes(At(names[i])));
    }
    JpegOptions = {60, 1};
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        std::vector<DialogAnswerer::Seen> seen = RunFolder(IDM_FOLDER_JPG_TO_JPG, folder.Path());
        EXPECT_EQ("JPG>JPG変換：フォルダを選択", seen[0].text);
        ExpectBox(seen[1], "JPG>JPG変換", kConverted, false);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(sources[i], ReadBytes(At(names[i])));
            std::string target = At("changjpg\\" + std::string(names[i]));
            EXPECT_TRUE(IsProgressive(ReadBytes(target)));
            EXPECT_EQ(0, MaxDifference(Reference(LoadJpegPixels(At(names[i])), 60, true), LoadJpegPixels(target)));
        }
    }
    EXPECT_EQ(4u, Listing(folder.Path()).size());
}

// Half of a double-byte character is never kept; "表" ends in the byte of
// "\" and is still a whole character of a usable name.
TEST_F(ConversionTest, FolderNameDialogKeepsWholeCharactersAndReencodeUsesTheName) {
    OnCommand(IDM_OUTPUT_FOLDER);
    HWND dialog = FindOwnWindow(kFolderNameCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("changjpg", TextOf(GetDlgItem(dialog, IDC_FIRST_FIELD)));
    SetDlgItemTextA(dialog, IDC_FIRST_FIELD, "other");
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_STREQ("changjpg", OutputFolderName) << "the close box changes nothing";

    std::string twenty;
    for (int i = 0; i < 20; ++i) twenty += "表";
    TypeAndConfirm(IDM_OUTPUT_FOLDER, kFolderNameCaption, twenty);
    std::string nineteen = twenty.substr(0, 38);
    EXPECT_EQ(nineteen, OutputFolderName);

    ASSERT_TRUE(SaveJpeg(At("a.jpg"), MakePicture(8, 8, 3), 90));
    ExpectBox(RunFolder(IDM_FOLDER_JPG_TO_JPG, folder.Path())[1], "JPG>JPG変換", kConverted, false);
    EXPECT_TRUE(FileExists(At(nineteen + "\\a.jpg")));
}

TEST_F(ConversionTest, ReencodeRefusesAFolderNameThatIsNoSubfolder) {
    ASSERT_TRUE(SaveJpeg(At("a.jpg"), MakePicture(8, 8, 3), 90));
    std::vector<uint8_t> source = ReadBytes(At("a.jpg"));
    for (const char* name : {"", "..", ".", " . ", "a\\b", "a/b", "c:x", "a*b", "a|b", "a?b", "tab\t"}) {
        SCOPED_TRACE(name);
        TypeAndConfirm(IDM_OUTPUT_FOLDER, kFolderNameCaption, name);
        DialogAnswerer::Seen box = RunFolder(IDM_FOLDER_JPG_TO_JPG, folder.Path())[1];
        EXPECT_EQ("JPG>JPG変換", box.caption);
        EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), box.icon);
        EXPECT_EQ("変換フォルダ名「" + std::string(name) + "」は使えません！\n変換Folder(I)で設定し直して下さい。",
                  box.text);
        EXPECT_EQ(std::vector<std::string>{"a.jpg"}, Listing(folder.Path())) << "nothing created";
        EXPECT_EQ(source, ReadBytes(At("a.jpg")));
    }
}

// A run that wrote nothing takes away the output folder it made, never one
// that was there before.
TEST_F(ConversionTest, ReencodeThatWroteNothingLeavesNoFolderOfItsOwn) {
    const std::string oneFailed = "変換出来ません！\n1 ファイル中 1 ファイルが失敗しました。\n最初のファイル : bad.jpg";
    struct Case {
        bool badFile, existed;
        std::string box;
    } cases[] = {{false, false, kCannotConvert}, {true, false, oneFailed}, {false, true, kCannotConvert}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box + (c.existed ? " existed" : ""));
        TempFolder here;
        if (c.badFile) {
            ASSERT_TRUE(WriteBytes(here / "bad.jpg", {0xFF, 0xD8, 0xFF}));
        }
        if (c.existed) {
            ASSERT_TRUE(CreateDirectoryA((here / "changjpg").c_str(), nullptr));
        }
        ExpectBox(RunFolder(IDM_FOLDER_JPG_TO_JPG, here.Path())[1], "JPG>JPG変換", c.box, true);
        EXPECT_EQ(c.existed, GetFileAttributesA((here / "changjpg").c_str()) != INVALID_FILE_ATTRIBUTES);
    }
}

// The source path fits the 256-byte buffer; its path in the subfolder would not.
TEST_F(ConversionTest, FileWhosePathDoesNotFitCountsAsFailed) {
    std::string longName = std::string(255 - folder.Path().size() - 5, 'q') + ".jpg";
    ASSERT_TRUE(SaveJpeg(At(longName), MakePicture(8, 8, 3), 90));
    ASSERT_TRUE(SaveJpeg(At("a.jpg"), MakePicture(8, 8, 3), 90));
    ExpectBox(RunFolder(IDM_FOLDER_JPG_TO_JPG, folder.Path())[1], "JPG>JPG変換",
              "変換出来ません！\n2 ファイル中 1 ファイルが失敗しました。\n最初のファイル : " + longName, true);
    EXPECT_EQ(std::vector<std::string>{"a.jpg"}, Listing(At("changjpg")));
}

// A source path one byte too long for the buffer: the file is still named.
TEST_F(ConversionTest, FileWhoseSourcePathDoesNotFitIsNamedWhole) {
    std::string longName = std::string(256 - folder.Path().size() - 5, 'r') + ".jpg";
    ASSERT_TRUE(SaveJpeg(At(longName), MakePicture(8, 8, 3), 90));
    ExpectBox(RunFolder(IDM_FOLDER_JPG_TO_BMP, folder.Path())[1], "JPG>BMP変換",
              "変換出来ません！\n1 ファイル中 1 ファイルが失敗しました。\n最初のファイル : " + longName, true);
}

// Every file of a folder and its subfolders, by relative name.
void Collect(const std::string& folder, const std::string& prefix, std::map<std::string, std::vector<uint8_t>>& files) {
    for (const std::string& name : Listing(folder)) {
        std::string path = folder + "\\" + name;
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            Collect(path, prefix + name + "\\", files);
        } else {
            files[prefix + name] = ReadBytes(path);
        }
    }
}

// Any number of workers writes the bytes one worker writes and closes with
// the same box, naming the same first failure: a large corrupt file that
// fails late and a small one that fails at once.
TEST_F(ConversionTest, FolderCommandsOnFourWorkersWriteWhatOneWorkerWrites) {
    std::map<std::string, std::vector<uint8_t>> inputs;
    const struct {
        const char* stem;
        int width, height, channels;
    } pictures[] = {{"large", 1600, 1200, 3}, {"big1", 1200, 900, 3}, {"big2", 1200, 901, 3},
                    {"big3", 1201, 900, 3},   {"写真", 33, 17, 3},      {"grey", 20, 20, 1},
                    {"tiny", 1, 1, 3},        {"wide", 300, 7, 3}};
    for (const auto& p : pictures) {
        Pixels picture = MakePicture(p.width, p.height, p.channels, p.width);
        ASSERT_TRUE(SaveJpeg(scratch / "in.jpg", picture, 85));
        inputs[p.stem + std::string(".jpg")] = ReadBytes(scratch / "in.jpg");
        inputs[p.stem + std::string(".bmp")] = EncodePlainBmp(picture);
    }
    for (const char* type : {".jpg", ".bmp"}) {
        const std::vector<uint8_t>& large = inputs[std::string("large") + type];
        inputs[std::string("cut") + type].assign(large.begin(), large.begin() + large.size() * 9 / 10);
        inputs[std::string("junk") + type] = {'j', 'u', 'n', 'k'};
    }
    JpegOptions = {80, 1};

    for (int command : {IDM_FOLDER_JPG_TO_BMP, IDM_FOLDER_BMP_TO_JPG, IDM_FOLDER_JPG_TO_JPG}) {
        SCOPED_TRACE(command);
        std::map<std::string, std::vector<uint8_t>> written[2];
        std::string box[2];
        for (int run = 0; run < 2; ++run) {
            TempFolder work;
            for (const auto& input : inputs) ASSERT_TRUE(WriteBytes(work / input.first, input.second));
            // That four workers really overlap is the pool's own test; a
            // thread count sampled from here misses workers on a busy machine.
            FolderConvertWorkers = run == 0 ? 1 : 4;
            box[run] = RunFolder(command, work.Path())[1].text;
            FolderConvertWorkers = 0;
            Collect(work.Path(), "", written[run]);
        }
        int changed = 0;
        for (const auto& file : written[0]) changed += inputs.count(file.first) == 0 || inputs[file.first] != file.second;
        EXPECT_EQ(8, changed) << "the good pictures converted";
        EXPECT_NE(std::string::npos, box[0].find("10 ファイル中 2 ファイルが失敗しました。")) << box[0];
        EXPECT_EQ(box[0], box[1]);
        EXPECT_TRUE(written[0] == written[1]) << "byte for byte";
    }
}

// The browser gives "C:\" for a drive root; the separator appended after it
// makes two in a row, which Windows reads as one.
TEST_F(ConversionTest, DriveRootConvertsWithTwoSeparatorsInARow) {
    std::string stem = "C:\\tolvtest_root_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(SaveJpeg(stem + ".jpg", MakePicture(8, 8, 3), 90));
    DialogAnswerer answerer;
    answerer.AcceptFolder();
    answerer.PressOk();
    OnCommand(IDM_FOLDER_JPG_TO_BMP);
    ASSERT_EQ(2u, answerer.Answered().size());
    ExpectBox(answerer.Answered()[1], "JPG>BMP変換", kConverted, false);
    EXPECT_EQ(0, MaxDifference(LoadJpegPixels(stem + ".jpg"), LoadBmpPixels(stem + ".bmp")));
    DeleteFileA((stem + ".jpg").c_str());
    DeleteFileA((stem + ".bmp").c_str());
}

TEST_F(ConversionTest, VersionDialogPaintsItsPictureUnscaledAt40_0) {
    OnCommand(IDM_VERSION);
    HWND dialog = FindOwnWindow("このソフトのバージョン");
    ASSERT_NE(nullptr, dialog);
    const COLORREF fill = RGB(1, 2, 3);
    Canvas painted(200, 80, fill), expected(200, 80, fill);
    SendMessageA(dialog, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(painted.Dc()), PRF_CLIENT);
    HANDLE picture = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_VERSION), IMAGE_BITMAP, 0, 0,
                                LR_CREATEDIBSECTION);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(expected.Dc(), 40, 0, 128, 64, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(picture);
    EXPECT_TRUE(painted.Same(expected, 0, 0, 199, 79));
    EXPECT_FALSE(painted.All(40, 0, 167, 63, fill));

    std::string lines;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT))
        lines += TextOf(control) + "|";
    EXPECT_NE(std::string::npos, lines.find("|MinGW-w64 GCC " __VERSION__ "|")) << lines;
    EXPECT_NE(std::string::npos, lines.find("|libjpeg-turbo 2.")) << lines;
    Press(dialog, IDC_OK);
    EXPECT_FALSE(IsWindow(dialog));
}

// The guide names every item of the menu, the list file and the restorer,
// and scrolls in a field nobody can type into.
TEST_F(ConversionTest, HelpOpensModelessWithTheGuideAndCloses) {
    OnCommand(IDM_HELP);
    HWND help = FindOwnWindow("Tolvaneのﾍﾙﾌﾟ");
    ASSERT_NE(nullptr, help);
    EXPECT_EQ(MainWindow(), GetWindow(help, GW_OWNER));
    EXPECT_TRUE(IsWindowEnabled(MainWindow()));
    HWND field = GetDlgItem(help, IDC_HELP_TEXT);
    LONG style = GetWindowLongA(field, GWL_STYLE);
    EXPECT_TRUE((style & ES_READONLY) && (style & ES_MULTILINE) && (style & WS_VSCROLL));

    std::string guide = TextOf(field);
    std::vector<std::string> topics = {"tvfile.txt", "tolvinst"};
    HMENU menu = GetMenu(MainWindow());
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        HMENU popup = GetSubMenu(menu, i);
        for (int j = 0; j < GetMenuItemCount(popup); ++j) {
            char item[64] = {};
            if (GetMenuStringA(popup, j, item, sizeof item, MF_BYPOSITION) == 0) continue;  // separator
            std::string name = item;
            if (size_t amp = name.find('&'); amp != std::string::npos) name.erase(amp, 1);
            topics.push_back(name);
        }
    }
    EXPECT_EQ(19u, topics.size());
    for (const std::string& topic : topics) EXPECT_NE(std::string::npos, guide.find(topic)) << topic;

    SendMessageA(field, EM_SCROLL, SB_PAGEDOWN, 0);
    EXPECT_GT(SendMessageA(field, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "longer than the field: it scrolls";
    Press(help, IDC_OK);
    EXPECT_FALSE(IsWindow(help));
}

}  // namespace
