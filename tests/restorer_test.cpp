// tolvinst as an installer runs it: its own process, a folder of JPEG files
// and a pair list, the command line holding the folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "test_images.h"
#include "win_process.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

const char kErrorCaption[] = "\xCC\xA7\xB2\xD9\xB4\xD7\xB0";                        // ﾌｧｲﾙｴﾗｰ
const char kCannotOpen[] = "\xCC\xA7\xB2\xD9\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1";  // ﾌｧｲﾙが開けません

std::string Restorer() { return WindowsPath(TOLVINST_PATH); }
std::string OneWorkerRestorer() { return WindowsPath(TOLVINST_ONE_WORKER_PATH); }

// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> FolderFiles(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files[found.cFileName] = ReadBytes(folder + "\\" + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

// A list file's bytes as the workbench writes them, and as the restorer
// writes back the entries it could not restore.
std::string ListText(const Pairs& pairs, const std::string& count = "") {
    std::string text = (count.empty() ? std::to_string(pairs.size()) : count) + "\r\n";
    for (const auto& pair : pairs) text += pair.first + "\r\n" + pair.second + "\r\n";
    return text;
}

void WriteList(const std::string& path, const Pairs& pairs, const std::string& count = "") {
    std::string text = ListText(pairs, count);
    ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

std::string FileText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Answers the "cannot open" warning box: checks its texts and icon, then OK.
struct WarningAnswerer {
    int answered = 0;
    std::string text;
    bool hasIcon = false;
    void operator()(DWORD processId) {
        HWND box = FindProcessDialog(processId, kErrorCaption);
        if (!box) return;
        char buffer[256] = {};
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        hasIcon = GetDlgItem(box, 0x440) != nullptr;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        ++answered;
        Sleep(200);
    }
};

class RestorerTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string Prefix() const { return folder.Path() + "\\"; }
    std::string At(const std::string& name) const { return folder / name; }
    Pixels MakeJpeg(const std::string& name, int width, int height, int channels = 3, int progressive = 0) {
        EXPECT_TRUE(SaveJpeg(At(name), MakePicture(width, height, channels, width), 85, progressive));
        return LoadJpegPixels(At(name));
    }
    RunResult Run(const std::string& tail, int showState = SW_SHOWNORMAL,
                  const std::function<void(DWORD)>& whileRunning = nullptr) {
        return RunProgram(Restorer(), tail, folder.Path(), showState, 60000, whileRunning);
    }
};

TEST_F(RestorerTest, RestoresEveryListedJpegAndRemovesSources) {
    Pixels odd = MakeJpeg("odd.jpg", 33, 17);
    Pixels grey = MakeJpeg("grey.jpg", 20, 10, 1);
    Pixels progressive = MakeJpeg("prog.jpg", 64, 48, 3, 1);
    WriteList(At("tvfile.txt"), {{"odd.jpg", "odd.bmp"}, {"grey.jpg", "grey.bmp"}, {"prog.jpg", "renamed.bmp"}});

    RunResult run = Run(Prefix());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(0, MaxDifference(odd, LoadBmpPixels(At("odd.bmp"))));
    EXPECT_EQ(0, MaxDifference(grey, LoadBmpPixels(At("grey.bmp"))));
    EXPECT_EQ(0, MaxDifference(progressive, LoadBmpPixels(At("renamed.bmp"))));
    for (const char* gone : {"odd.jpg", "grey.jpg", "prog.jpg", "tvfile.txt"}) EXPECT_FALSE(FileExists(At(gone))) << gone;
}

TEST_F(RestorerTest, KeepsJpegsWhoseConversionFailed) {
    Pixels good = MakeJpeg("good.jpg", 40, 30);
    MakeJpeg("cut.jpg", 64, 64);
    std::vector<uint8_t> whole = ReadBytes(At("cut.jpg"));
    whole.resize(whole.size() / 2);
    ASSERT_TRUE(WriteBytes(At("cut.jpg"), whole));
    WriteList(At("tvfile.txt"), {{"cut.jpg", "cut.bmp"}, {"absent.jpg", "absent.bmp"}, {"good.jpg", "good.bmp"}});

    RunResult run = Run(Prefix());
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(0, MaxDifference(good, LoadBmpPixels(At("good.bmp"))));
    EXPECT_FALSE(FileExists(At("good.jpg")));
    EXPECT_EQ(whole, ReadBytes(At("cut.jpg")));
    EXPECT_FALSE(FileExists(At("cut.bmp")));
    EXPECT_FALSE(FileExists(At("absent.bmp")));
    EXPECT_EQ(ListText({{"cut.jpg", "cut.bmp"}, {"absent.jpg", "absent.bmp"}}), FileText(At("tvfile.txt")));
}

TEST_F(RestorerTest, RestoresEveryEntryTheWorkbenchCanSave) {
    MakeJpeg("seed.jpg", 8, 8);
    std::vector<uint8_t> jpeg = ReadBytes(At("seed.jpg"));
    for (int count : {150, 200}) {
        Pairs pairs;
        for (int i = 0; i < count; ++i) {
            std::string name = "p" + std::to_string(i);
            ASSERT_TRUE(WriteBytes(At(name + ".jpg"), jpeg));
            pairs.push_back({name + ".jpg", name + ".bmp"});
        }
        WriteList(At("tvfile.txt"), pairs);

        EXPECT_EQ(0u, Run(Prefix(), SW_HIDE).exitCode) << count;
        for (int i = 0; i < count; ++i) {
            std::string name = "p" + std::to_string(i);
            EXPECT_TRUE(FileExists(At(name + ".bmp")) && !FileExists(At(name + ".jpg"))) << name << " of " << count;
        }
        EXPECT_FALSE(FileExists(At("tvfile.txt"))) << count;
    }
}

// What an installer sees of each outcome, hidden or shown, on one worker
// or all: 0 only when everything was restored; 1 with the list holding
// exactly what is left; 2, touching nothing, when there is no list to read.
TEST_F(RestorerTest, ExitCodeTellsTheInstallerWhatHappened) {
    struct Case {
        const char* what;
        bool listed;
        std::string count;
        Pairs list;
        DWORD code;
        Pairs kept;
    };
    const Case cases[] = {
        {"all restored", true, "", {{"good.jpg", "good.bmp"}}, 0, {}},
        {"a damaged JPEG", true, "", {{"cut.jpg", "cut.bmp"}, {"good.jpg", "good.bmp"}}, 1, {{"cut.jpg", "cut.bmp"}}},
        {"a missing JPEG", true, "", {{"good.jpg", "good.bmp"}, {"absent.jpg", "absent.bmp"}}, 1,
         {{"absent.jpg", "absent.bmp"}}},
        {"no list", false, "", {}, 2, {}},
        {"a list claiming 250 entries", true, "250", {{"good.jpg", "good.bmp"}}, 2, {}},
    };
    for (const Case& c : cases)
        for (const std::string& program : {Restorer(), OneWorkerRestorer()})
            for (int showState : {SW_HIDE, SW_SHOWNORMAL}) {
                SCOPED_TRACE(std::string(c.what) + (showState == SW_HIDE ? ", hidden, " : ", shown, ") + program);
                TempFolder here;
                ASSERT_TRUE(SaveJpeg(here / "good.jpg", MakePicture(21, 13, 3), 85));
                Pixels good = LoadJpegPixels(here / "good.jpg");
                ASSERT_TRUE(WriteBytes(here / "cut.jpg", {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0}));
                if (c.listed) WriteList(here / "tvfile.txt", c.list, c.count);
                auto before = FolderFiles(here.Path());
                WarningAnswerer answerer;
                RunResult run = RunProgram(program, here.Path() + "\\", here.Path(), showState, 30000, std::ref(answerer));
                ASSERT_TRUE(run.finished);
                EXPECT_EQ(c.code, run.exitCode);
                EXPECT_EQ(showState != SW_HIDE && c.code == 2 ? 1 : 0, answerer.answered);
                if (c.code == 2) {
                    EXPECT_TRUE(FolderFiles(here.Path()) == before);
                    continue;
                }
                EXPECT_EQ(0, MaxDifference(good, LoadBmpPixels(here / "good.bmp")));
                EXPECT_FALSE(FileExists(here / "good.jpg"));
                EXPECT_TRUE(FileExists(here / "cut.jpg"));
                if (c.kept.empty()) EXPECT_FALSE(FileExists(here / "tvfile.txt"));
                else EXPECT_EQ(ListText(c.kept), FileText(here / "tvfile.txt"));
            }
}

// A picture whose BMP was not made, or was replaced by another entry's,
// exists only in its JPEG: that JPEG stays, whatever else read it.
TEST_F(RestorerTest, AJpegStaysWhileAnyPictureOfItIsMissing) {
    Pixels a = MakeJpeg("a.jpg", 20, 10), b = MakeJpeg("b.jpg", 30, 12), c = MakeJpeg("c.jpg", 12, 12);
    std::vector<uint8_t> aBytes = ReadBytes(At("a.jpg")), cBytes = ReadBytes(At("c.jpg"));
    ASSERT_TRUE(CreateDirectoryA(At("blocked.bmp").c_str(), nullptr));  // no BMP can be written there
    const Pairs pairs = {{"a.jpg", "a.bmp"}, {"A.JPG", "blocked.bmp"}, {"c.jpg", "x.bmp"}, {"b.jpg", "X.BMP"}};
    WriteList(At("tvfile.txt"), pairs);

    EXPECT_EQ(1u, Run(Prefix()).exitCode);
    EXPECT_EQ(aBytes, ReadBytes(At("a.jpg")));
    EXPECT_EQ(cBytes, ReadBytes(At("c.jpg")));
    EXPECT_TRUE(FileExists(At("b.jpg")));
    EXPECT_EQ(0, MaxDifference(b, LoadBmpPixels(At("x.bmp"))));
    EXPECT_EQ(ListText(pairs), FileText(At("tvfile.txt")));

    // Once the folder is out of the way, a second run finishes a's entries;
    // the two pictures that name one BMP stay as they are, nothing lost.
    ASSERT_TRUE(RemoveDirectoryA(At("blocked.bmp").c_str()));
    EXPECT_EQ(1u, Run(Prefix(), SW_HIDE).exitCode);
    EXPECT_EQ(0, MaxDifference(a, LoadBmpPixels(At("a.bmp"))));
    EXPECT_EQ(0, MaxDifference(a, LoadBmpPixels(At("blocked.bmp"))));
    EXPECT_FALSE(FileExists(At("a.jpg")));
    EXPECT_EQ(cBytes, ReadBytes(At("c.jpg")));
    EXPECT_EQ(0, MaxDifference(b, LoadBmpPixels(At("x.bmp"))));
    EXPECT_EQ(ListText({pairs[2], pairs[3]}), FileText(At("tvfile.txt")));
}

TEST_F(RestorerTest, RestoresShiftJisNames) {
    // 表示画像: the second byte of 表 is 0x5C, the path separator.
    const std::string jpeg = "\x95\x5C\x8E\xA6\x89\xE6\x91\x9C.jpg", bmp = "\x95\x5C\x8E\xA6\x89\xE6\x91\x9C.bmp";
    Pixels pixels = MakeJpeg(jpeg, 24, 24);
    WriteList(At("tvfile.txt"), {{jpeg, bmp}});

    EXPECT_EQ(0u, Run(Prefix()).exitCode);
    EXPECT_EQ(0, MaxDifference(pixels, LoadBmpPixels(At(bmp))));
    EXPECT_FALSE(FileExists(At(jpeg)));
}

TEST_F(RestorerTest, ProgramInAJapaneseFolderFindsItsCommandLine) {
    // Installers may start it unquoted from a folder such as 表示\.
    const std::string japanese = At("\x95\x5C\x8E\xA6");
    ASSERT_TRUE(CreateDirectoryA(japanese.c_str(), nullptr));
    const std::string program = japanese + "\\tolvinst.exe";
    ASSERT_TRUE(CopyFileA(Restorer().c_str(), program.c_str(), FALSE));
    for (const std::string& line : {program + " " + Prefix(), "\"" + program + "\" " + Prefix()}) {
        Pixels pixels = MakeJpeg("j.jpg", 16, 16);
        WriteList(At("tvfile.txt"), {{"j.jpg", "j.bmp"}});
        RunResult run = RunCommandLine(program, line, folder.Path(), SW_SHOWNORMAL, 20000);
        ASSERT_TRUE(run.finished) << line;
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ(0, MaxDifference(pixels, LoadBmpPixels(At("j.bmp")))) << line;
        EXPECT_FALSE(FileExists(At("j.jpg"))) << line;
    }
}

TEST_F(RestorerTest, MissingListShowsTheWarning) {
    MakeJpeg("a.jpg", 8, 8);
    WarningAnswerer answerer;
    RunResult run = Run(Prefix(), SW_SHOWNORMAL, std::ref(answerer));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ(1, answerer.answered);
    EXPECT_EQ(kCannotOpen, answerer.text);  // Shift-JIS bytes, as shipped
    EXPECT_TRUE(answerer.hasIcon);
    EXPECT_TRUE(FileExists(At("a.jpg")));
}

TEST_F(RestorerTest, EmptyCommandLineWorksInTheCurrentFolder) {
    Pixels pixels = MakeJpeg("here.jpg", 16, 16);
    WriteList(At("tvfile.txt"), {{"here.jpg", "here.bmp"}});
    EXPECT_EQ(0u, Run("").exitCode);
    EXPECT_EQ(0, MaxDifference(pixels, LoadBmpPixels(At("here.bmp"))));
    EXPECT_FALSE(FileExists(At("here.jpg")));
    EXPECT_FALSE(FileExists(At("tvfile.txt")));
}

TEST_F(RestorerTest, FolderWithoutFinalSeparatorFindsNoList) {
    MakeJpeg("a.jpg", 8, 8);
    WriteList(At("tvfile.txt"), {{"a.jpg", "a.bmp"}});
    WarningAnswerer answerer;
    RunResult run = Run(folder.Path(), SW_SHOWNORMAL, std::ref(answerer));
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ(1, answerer.answered);
    EXPECT_TRUE(FileExists(At("a.jpg")));
    EXPECT_TRUE(FileExists(At("tvfile.txt")));
    EXPECT_FALSE(FileExists(At("a.bmp")));
}

TEST_F(RestorerTest, CommandLineTooLongForThePathBuffersTouchesNothing) {
    MakeJpeg("a.jpg", 8, 8);
    WriteList(At("tvfile.txt"), {{"a.jpg", "a.bmp"}});
    WarningAnswerer answerer;
    RunResult run = Run(Prefix() + std::string(300, 'x') + "\\", SW_SHOWNORMAL, std::ref(answerer));
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ(1, answerer.answered);
    EXPECT_TRUE(FileExists(At("a.jpg")));
    EXPECT_TRUE(FileExists(At("tvfile.txt")));
}

TEST_F(RestorerTest, HiddenStartStillDoesAllTheWork) {
    Pixels pixels = MakeJpeg("h.jpg", 16, 16);
    WriteList(At("tvfile.txt"), {{"h.jpg", "h.bmp"}});
    RunResult run = Run(Prefix(), SW_HIDE);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(0, MaxDifference(pixels, LoadBmpPixels(At("h.bmp"))));
    EXPECT_FALSE(FileExists(At("h.jpg")));
}

TEST_F(RestorerTest, HiddenStartWithoutListEndsAtOnce) {
    // Nobody answers here: a box shown to a hidden installer would wait for ever.
    RunResult run = RunProgram(Restorer(), Prefix(), folder.Path(), SW_HIDE, 15000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(2u, run.exitCode);
}

TEST_F(RestorerTest, NoSpellingOfAFileLosesAPicture) {
    // Windows opens one file under all these names: the BMP must not land
    // on its own JPEG, on the list, or on another entry's JPEG.
    const Pairs entries = {{"a.jpg", ".\\a.jpg"},
                           {"b.jpg", "b.jpg."},
                           {"c.jpg", "c.jpg "},
                           {"d.jpg", "tvfile.txt"},
                           {"\x82\x86.jpg", "\x82\x65.JPG"},  // full-width f.jpg, F.JPG
                           {"e.jpg", "e.bmp"},
                           {"g.jpg", "E.jpg"}};
    std::map<std::string, Pixels> pictures;
    std::map<std::string, std::vector<uint8_t>> placed;
    for (size_t i = 0; i < entries.size(); ++i) {
        pictures[entries[i].first] = MakeJpeg(entries[i].first, 16 + static_cast<int>(i), 8);
        placed[entries[i].first] = ReadBytes(At(entries[i].first));
    }
    WriteList(At("tvfile.txt"), entries);

    EXPECT_EQ(1u, Run(Prefix()).exitCode);
    for (const auto& entry : entries) {
        bool jpegKept = ReadBytes(At(entry.first)) == placed[entry.first];
        bool bmpMade = MaxDifference(pictures[entry.first], LoadBmpPixels(At(entry.second))) == 0;
        EXPECT_TRUE(jpegKept || bmpMade) << entry.first << " -> " << entry.second << " lost its picture";
    }
    EXPECT_TRUE(FileExists(At("e.bmp")));
    EXPECT_FALSE(FileExists(At("e.jpg")));
}

TEST_F(RestorerTest, AllWorkersLeaveTheFilesOfOneWorker) {
    // Good pictures, a damaged one, a missing one, two entries writing one
    // BMP (the later wins) and one reading what another writes.
    TempFolder other;
    std::vector<uint8_t> big, damaged;
    Pairs pairs = {{"big.jpg", "shared.bmp"}};
    for (int i = 0; i < 10; ++i) pairs.push_back({"p" + std::to_string(i) + ".jpg", "p" + std::to_string(i) + ".bmp"});
    pairs.insert(pairs.begin() + 4, {"cut.jpg", "cut.bmp"});
    pairs.insert(pairs.begin() + 6, {"absent.jpg", "absent.bmp"});
    pairs.push_back({"p9.jpg", "SHARED.BMP"});
    pairs.push_back({"made.jpg", "made.bmp"});
    pairs.insert(pairs.begin() + 2, {"p1.jpg", "made.jpg"});
    for (const std::string& where : {folder.Path(), other.Path()}) {
        ASSERT_TRUE(SaveJpeg(where + "\\big.jpg", MakePicture(1200, 900, 3), 90));
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(SaveJpeg(where + "\\p" + std::to_string(i) + ".jpg", MakePicture(50 + 30 * i, 40 + 9 * i, 3, i), 85, i % 2));
        ASSERT_TRUE(WriteBytes(where + "\\cut.jpg", {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0}));
        WriteList(where + "\\tvfile.txt", pairs);
    }
    EXPECT_EQ(1u, RunProgram(OneWorkerRestorer(), Prefix(), folder.Path()).exitCode);
    EXPECT_EQ(1u, RunProgram(Restorer(), other.Path() + "\\", other.Path()).exitCode);
    std::map<std::string, std::vector<uint8_t>> expected = FolderFiles(folder.Path()), files = FolderFiles(other.Path());
    EXPECT_TRUE(expected.count("cut.jpg") && expected.count("shared.bmp") && !expected.count("p0.jpg"));
    EXPECT_EQ(0, MaxDifference(LoadBmpPixels(other / "p9.bmp"), LoadBmpPixels(other / "shared.bmp")));
    ASSERT_EQ(expected.size(), files.size());
    for (const auto& file : expected) EXPECT_TRUE(files[file.first] == file.second) << file.first;
}

TEST_F(RestorerTest, LeavesEntriesAloneThatReachOutsideTheFolder) {
    ASSERT_TRUE(CreateDirectoryA(At("inst").c_str(), nullptr));
    MakeJpeg("outside.jpg", 8, 8);
    MakeJpeg("inst\\a.jpg", 8, 8);
    MakeJpeg("inst\\same.jpg", 8, 8);
    Pixels good = MakeJpeg("inst\\good.jpg", 8, 8);
    std::vector<uint8_t> same = ReadBytes(At("inst\\same.jpg"));
    WriteList(At("inst\\tvfile.txt"), {{"..\\outside.jpg", "outside.bmp"},
                                       {"a.jpg", "..\\a.bmp"},
                                       {At("outside.jpg"), "abs.bmp"},
                                       {"\\outside.jpg", "root.bmp"},
                                       {"same.jpg", "SAME.JPG"},
                                       {"good.jpg", "good.bmp"}});

    EXPECT_EQ(1u, RunProgram(Restorer(), At("inst\\"), At("inst")).exitCode);
    EXPECT_TRUE(FileExists(At("outside.jpg")));
    EXPECT_FALSE(FileExists(At("inst\\outside.bmp")));
    EXPECT_TRUE(FileExists(At("inst\\a.jpg")));
    EXPECT_FALSE(FileExists(At("a.bmp")));
    EXPECT_FALSE(FileExists(At("inst\\abs.bmp")));
    EXPECT_FALSE(FileExists(At("inst\\root.bmp")));
    EXPECT_EQ(same, ReadBytes(At("inst\\same.jpg")));
    EXPECT_EQ(0, MaxDifference(good, LoadBmpPixels(At("inst\\good.bmp"))));
    EXPECT_FALSE(FileExists(At("inst\\good.jpg")));
}

TEST_F(RestorerTest, EntryWhosePathDoesNotFitIsLeftAlone) {
    // Nest folders until the prefix is 236 bytes: behind it a 19-byte name
    // fills the 256-byte path buffers exactly; a 21-byte one does not fit.
    std::string install = folder.Path();
    while (install.size() + 12 < 235) {
        install += "\\dddddddddd";
        ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr)) << install;
    }
    install += "\\" + std::string(235 - install.size() - 1, 'x');
    ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr)) << install;
    std::string prefix = install + "\\";
    ASSERT_EQ(236u, prefix.size());
    const std::string fits = "fits_in_buffer0.jpg", tooLong = "too_long_for_bufr.jpg";  // 19 and 21 bytes
    ASSERT_TRUE(SaveJpeg(prefix + fits, MakePicture(8, 8, 3), 80));
    ASSERT_TRUE(SaveJpeg(prefix + tooLong, MakePicture(8, 8, 3), 80));
    WriteList(prefix + "tvfile.txt", {{fits, "f.bmp"}, {tooLong, "t.bmp"}});

    EXPECT_EQ(1u, RunProgram(Restorer(), prefix, install).exitCode);
    EXPECT_TRUE(FileExists(prefix + "f.bmp"));
    EXPECT_FALSE(FileExists(prefix + fits));
    EXPECT_TRUE(FileExists(prefix + tooLong));
    EXPECT_FALSE(FileExists(prefix + "t.bmp"));
}

TEST_F(RestorerTest, WindowIsCentredFixedAndCaptioned) {
    // Enough work that the window stays up while it is measured.
    Pairs pairs;
    MakeJpeg("big.jpg", 1600, 1600);
    std::vector<uint8_t> jpeg = ReadBytes(At("big.jpg"));
    for (int i = 0; i < 12; ++i) {
        std::string name = "big" + std::to_string(i);
        ASSERT_TRUE(WriteBytes(At(name + ".jpg"), jpeg));
        pairs.push_back({name + ".jpg", name + ".bmp"});
    }
    WriteList(At("tvfile.txt"), pairs);
    RECT frame = {};
    LONG style = 0;
    DWORD child = 0;
    RunResult run = Run(Prefix(), SW_SHOWNORMAL, [&](DWORD processId) {
        if (child) return;
        // Restorers of other tests may be running: take only this one's window.
        HWND window = nullptr;
        DWORD owner = 0;
        while ((window = FindWindowExA(nullptr, window, "Main Window", "JPG TO BMP Ver1.00")) != nullptr) {
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId) break;
        }
        if (!window) return;
        child = processId;
        GetWindowRect(window, &frame);
        style = GetWindowLongA(window, GWL_STYLE);
    });
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_NE(0u, child) << "the restorer's window was never seen";
    EXPECT_EQ(300, frame.right - frame.left);
    EXPECT_EQ(100, frame.bottom - frame.top);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 300) / 2, frame.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 100) / 2, frame.top);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
}

}  // namespace
