// tolvinst, started hidden as installers start it, in the folders an
// install can really leave: lists saved by other editors, repeated entries,
// read-only files, a list another program holds open, two restorers at
// once, and a restorer killed in the middle of writing.
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
using Files = std::map<std::string, std::vector<uint8_t>>;

std::string Restorer() { return WindowsPath(TOLVINST_PATH); }

std::vector<std::string> FileNames(const std::string& folder, const char* pattern = "*") {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

Files FolderFiles(const std::string& folder) {
    Files files;
    for (const std::string& name : FileNames(folder)) files[name] = ReadBytes(folder + "\\" + name);
    return files;
}

std::string ListText(const Pairs& pairs) {
    std::string text = std::to_string(pairs.size()) + "\r\n";
    for (const auto& pair : pairs) text += pair.first + "\r\n" + pair.second + "\r\n";
    return text;
}

void WriteText(const std::string& path, const std::string& text) {
    ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

std::string FileText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// One picture saved under each name; returns its decode.
Pixels PlaceJpegs(const TempFolder& folder, const std::vector<std::string>& names, int width, int height, int seed = 0) {
    EXPECT_TRUE(SaveJpeg(folder / names[0], MakePicture(width, height, 3, seed), 95));
    std::vector<uint8_t> bytes = ReadBytes(folder / names[0]);
    for (size_t i = 1; i < names.size(); ++i) EXPECT_TRUE(WriteBytes(folder / names[i], bytes));
    return LoadJpegPixels(folder / names[0]);
}

// The restorer's temporary files: "~tv" + hex + "_" + hex + ".tmp".
bool RestorerTemporary(const std::string& name) {
    size_t under = name.find('_'), end = name.size() - 4;
    auto hex = [&](size_t from, size_t to) {
        return to > from && name.find_first_not_of("0123456789abcdefABCDEF", from) >= to;
    };
    return name.size() > 8 && name.rfind("~tv", 0) == 0 && name.compare(end, 4, ".tmp") == 0 &&
           under != std::string::npos && under < end && hex(3, under) && hex(under + 1, end);
}

bool AnyTemporary(const std::string& folder) {
    for (const std::string& name : FileNames(folder, "~tv*.tmp"))
        if (RestorerTemporary(name)) return true;
    return false;
}

// Installers quote the program's path; some do not, and start it from
// another folder than the install folder.
PROCESS_INFORMATION StartRestorer(const std::string& folder, bool quoted = true, const std::string& from = "") {
    std::string line = (quoted ? "\"" + Restorer() + "\" " : Restorer() + " ") + folder + "\\";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(Restorer().c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               (from.empty() ? folder : from).c_str(), &startup, &process))
        << GetLastError();
    return process;
}

DWORD Finish(PROCESS_INFORMATION& process) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 120000)) << "the restorer did not end";
    TerminateProcess(process.hProcess, 99);  // only one that did not end
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD RunHidden(const std::string& folder) {
    PROCESS_INFORMATION process = StartRestorer(folder);
    return Finish(process);
}

// Calls back, on a thread of its own, with each file name made, renamed to
// or removed in a folder, as Windows reports them.
class FolderWatch {
public:
    using Change = void (*)(DWORD action, const std::wstring& path, void* context);
    FolderWatch(const std::string& folder, Change change, void* context) : change_(change), context_(context) {
        folder_.assign(folder.begin(), folder.end());
        folder_ += L"\\";
        handle_ = CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
        WaitForSingleObject(ready_, 5000);
    }
    ~FolderWatch() {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        for (HANDLE h : {thread_, stop_, ready_, handle_}) CloseHandle(h);
    }

private:
    static DWORD WINAPI Watch(void* self) {
        FolderWatch& watch = *static_cast<FolderWatch*>(self);
        alignas(DWORD) static thread_local char buffer[64 << 10];
        OVERLAPPED overlapped = {};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        for (;;) {
            ResetEvent(overlapped.hEvent);
            if (!ReadDirectoryChangesW(watch.handle_, buffer, sizeof buffer, FALSE,
                                       FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE, nullptr, &overlapped,
                                       nullptr))
                break;
            SetEvent(watch.ready_);
            HANDLE events[] = {overlapped.hEvent, watch.stop_};
            DWORD bytes = 0;
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 ||
                !GetOverlappedResult(watch.handle_, &overlapped, &bytes, FALSE)) {
                CancelIo(watch.handle_);
                break;
            }
            for (char* at = buffer; bytes > 0;) {
                auto* info = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(at);
                std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
                watch.change_(info->Action, watch.folder_ + name, watch.context_);
                if (!info->NextEntryOffset) break;
                at += info->NextEntryOffset;
            }
        }
        SetEvent(watch.ready_);
        CloseHandle(overlapped.hEvent);
        return 0;
    }
    Change change_;
    void* context_;
    std::wstring folder_;
    HANDLE handle_, stop_, ready_, thread_;
};

// What antivirus programs do: each new file is opened for a moment without
// letting others write, rename or delete it.
struct Scanner {
    LONG holding = 0, held = 0;
    static void Hold(DWORD action, const std::wstring& path, void* context) {
        if (action != FILE_ACTION_ADDED && action != FILE_ACTION_RENAMED_NEW_NAME && action != FILE_ACTION_MODIFIED)
            return;
        struct Job {
            Scanner* scanner;
            std::wstring path;
        };
        auto* job = new Job{static_cast<Scanner*>(context), path};
        InterlockedIncrement(&job->scanner->holding);
        auto run = [](void* data) -> DWORD {
            Job* job = static_cast<Job*>(data);
            HANDLE file = CreateFileW(job->path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                InterlockedIncrement(&job->scanner->held);
                Sleep(300);
                CloseHandle(file);
            }
            InterlockedDecrement(&job->scanner->holding);
            delete job;
            return 0;
        };
        CloseHandle(CreateThread(nullptr, 0, run, job, 0, nullptr));
    }
    void Finish() {
        while (InterlockedCompareExchange(&holding, 0, 0) != 0) Sleep(10);
    }
};

// Removable even when a test leaves read-only files behind.
struct Scratch : TempFolder {
    ~Scratch() {
        for (const std::string& name : FileNames(Path())) SetFileAttributesA((*this / name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
};

TEST(RestorerEdge, ListNotInTheFormatIsUnreadable) {
    const std::string entries = "a.jpg\r\na.bmp\r\nb.jpg\r\nb.bmp\r\n", unicode = "2\r\n" + entries;
    std::string utf16 = "\xFF\xFE";  // as a text editor saves "Unicode"
    for (char c : unicode) utf16 += std::string{c, '\0'};
    struct Case {
        const char* what;
        std::string list;
        DWORD code;
    };
    const Case cases[] = {
        {"UTF-8 byte order mark", "\xEF\xBB\xBF" "2\r\n" + entries, 2}, {"UTF-16LE", utf16, 2},
        {"hexadecimal count", "0x2\r\n" + entries, 2}, {"count nan", "nan\r\n" + entries, 2},
        {"count 0, then an entry", "0\r\na.jpg\r\na.bmp\r\n", 2}, {"blanks around the count", " 2 \r\n" + entries, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder here;
        Pixels a = PlaceJpegs(here, {"a.jpg"}, 24, 16), b = PlaceJpegs(here, {"b.jpg"}, 16, 24, 1);
        WriteText(here / "tvfile.txt", c.list);
        Files before = FolderFiles(here.Path());
        EXPECT_EQ(c.code, RunHidden(here.Path()));
        if (c.code == 2) {
            EXPECT_TRUE(FolderFiles(here.Path()) == before);
            continue;
        }
        EXPECT_EQ(0, MaxDifference(a, LoadBmpPixels(here / "a.bmp")));
        EXPECT_EQ(0, MaxDifference(b, LoadBmpPixels(here / "b.bmp")));
        EXPECT_EQ(2u, FolderFiles(here.Path()).size());
    }
}

TEST(RestorerEdge, AnEntryListedTwiceIsOneEntry) {
    for (const char* again : {"p00.jpg\r\np00.bmp", "P00.JPG\r\nP00.BMP"}) {
        SCOPED_TRACE(again);
        TempFolder here;
        Pixels picture = PlaceJpegs(here, {"p00.jpg"}, 40, 30);
        WriteText(here / "tvfile.txt", std::string("2\r\np00.jpg\r\np00.bmp\r\n") + again + "\r\n");
        EXPECT_EQ(0u, RunHidden(here.Path()));
        EXPECT_EQ(0, MaxDifference(picture, LoadBmpPixels(here / "p00.bmp")));
        EXPECT_EQ(1u, FolderFiles(here.Path()).size());  // the BMP alone
    }
}

// Only another restorer holds the lock: a folder of its name is none to wait for.
TEST(RestorerEdge, AFolderNamedLikeTheLockHoldsNothingUp) {
    TempFolder here;
    Pixels picture = PlaceJpegs(here, {"p00.jpg"}, 40, 30);
    WriteText(here / "tvfile.txt", "1\r\np00.jpg\r\np00.bmp\r\n");
    ASSERT_TRUE(CreateDirectoryA((here / "~tvlock.tmp").c_str(), nullptr));
    EXPECT_EQ(0u, RunHidden(here.Path()));
    EXPECT_EQ(0, MaxDifference(picture, LoadBmpPixels(here / "p00.bmp")));
    RemoveDirectoryA((here / "~tvlock.tmp").c_str());
}

TEST(RestorerEdge, ReadOnlyFilesOfThePayloadAreRestoredAndRemoved) {
    struct Case {
        const char* readOnly;
        bool oneMissing;
    };
    for (const Case& c : {Case{"tvfile.txt", false}, Case{"b.jpg", false}, Case{"tvfile.txt", true}}) {
        SCOPED_TRACE(std::string(c.readOnly) + (c.oneMissing ? ", one entry failing" : ""));
        Scratch here;
        Pixels a = PlaceJpegs(here, {"a.jpg"}, 24, 16), b = PlaceJpegs(here, {"b.jpg"}, 16, 24, 1);
        Pairs list = {{"a.jpg", "a.bmp"}, {"b.jpg", "b.bmp"}};
        if (c.oneMissing) list.insert(list.begin() + 1, {"absent.jpg", "absent.bmp"});
        WriteText(here / "tvfile.txt", ListText(list));
        ASSERT_TRUE(SetFileAttributesA((here / c.readOnly).c_str(), FILE_ATTRIBUTE_READONLY));

        EXPECT_EQ(c.oneMissing ? 1u : 0u, RunHidden(here.Path()));
        EXPECT_EQ(0, MaxDifference(a, LoadBmpPixels(here / "a.bmp")));
        EXPECT_EQ(0, MaxDifference(b, LoadBmpPixels(here / "b.bmp")));
        EXPECT_FALSE(FileExists(here / "a.jpg") || FileExists(here / "b.jpg"));
        if (c.oneMissing) EXPECT_EQ(ListText({list[1]}), FileText(here / "tvfile.txt"));
        else EXPECT_FALSE(FileExists(here / "tvfile.txt"));
    }
}

// Another program holds the list open without delete sharing: it can be read
// but neither deleted nor replaced, and only a list that says what is left
// lets a JPEG go. Once it is let go, a rerun finishes.
TEST(RestorerEdge, AListThatCannotBeUpdatedKeepsEveryJpeg) {
    for (bool oneMissing : {false, true}) {
        SCOPED_TRACE(oneMissing ? "one entry failing" : "all restorable");
        TempFolder here;
        PlaceJpegs(here, {"a.jpg", "b.jpg"}, 64, 48);
        Pairs list = {{"a.jpg", "a.bmp"}, {"b.jpg", "b.bmp"}};
        if (oneMissing) list.push_back({"absent.jpg", "absent.bmp"});
        WriteText(here / "tvfile.txt", ListText(list));
        Files before = FolderFiles(here.Path());
        HANDLE held = CreateFileA((here / "tvfile.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        EXPECT_EQ(1u, RunHidden(here.Path()));
        CloseHandle(held);
        for (const auto& file : before) EXPECT_TRUE(ReadBytes(here / file.first) == file.second) << file.first;
        EXPECT_FALSE(AnyTemporary(here.Path()));

        EXPECT_EQ(oneMissing ? 1u : 0u, RunHidden(here.Path()));
        EXPECT_FALSE(FileExists(here / "a.jpg") || FileExists(here / "b.jpg"));
    }
}

// Both started together: one restores, the other waits for it or finds no
// list; never two writing the same pictures, or one deleting under the other.
TEST(RestorerEdge, TwoRestorersAtOnceRestoreEachPictureOnce) {
    TempFolder here;
    std::vector<Pixels> pictures;
    Pairs list;
    for (int seed = 0; seed < 4; ++seed) {
        std::vector<std::string> names;
        for (int i = seed; i < 60; i += 4) {
            names.push_back("p" + std::to_string(i) + ".jpg");
            list.push_back({names.back(), "p" + std::to_string(i) + ".bmp"});
        }
        pictures.push_back(PlaceJpegs(here, names, 1200, 900, seed));
    }
    WriteText(here / "tvfile.txt", ListText(list));

    PROCESS_INFORMATION first = StartRestorer(here.Path()), second = StartRestorer(here.Path());
    const DWORD codes[] = {Finish(first), Finish(second)};
    for (DWORD code : codes) EXPECT_TRUE(code == 0 || code == 2) << code;
    EXPECT_TRUE(codes[0] == 0 || codes[1] == 0);
    Files left = FolderFiles(here.Path());
    EXPECT_EQ(60u, left.size());  // the BMPs alone
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(0, MaxDifference(pictures[i % 4], LoadBmpPixels(here / ("p" + std::to_string(i) + ".bmp")))) << i;

    EXPECT_EQ(2u, RunHidden(here.Path()));
    EXPECT_TRUE(FolderFiles(here.Path()) == left);
}

// A restorer killed while it writes leaves its temporary file and holds
// nothing any more: the rerun finishes the work, clears that file and leaves
// alone what only looks like one.
TEST(RestorerEdge, ARerunAfterAKillFinishesTheWork) {
    TempFolder here;
    Pixels picture = PlaceJpegs(here, {"big0.jpg", "big1.jpg", "big2.jpg", "big3.jpg"}, 3000, 2000);
    WriteText(here / "tvfile.txt", ListText({{"big0.jpg", "big0.bmp"}, {"big1.jpg", "big1.bmp"},
                                             {"big2.jpg", "big2.bmp"}, {"big3.jpg", "big3.bmp"}}));
    const std::vector<uint8_t> foreign = {'k', 'e', 'e', 'p'};
    for (const char* name : {"~tvnotours.tmp", "~tv1_2.txt"}) ASSERT_TRUE(WriteBytes(here / name, foreign));

    PROCESS_INFORMATION killed = StartRestorer(here.Path());
    bool writing = false;
    for (int polls = 0; polls < 20000 && !writing && WaitForSingleObject(killed.hProcess, 3) == WAIT_TIMEOUT; ++polls)
        writing = AnyTemporary(here.Path());
    TerminateProcess(killed.hProcess, 99);
    Finish(killed);
    ASSERT_TRUE(writing) << "the restorer was never seen writing";

    EXPECT_EQ(0u, RunHidden(here.Path()));
    Files left = FolderFiles(here.Path());
    EXPECT_EQ(6u, left.size());  // the BMPs and the two look-alikes
    for (const char* name : {"~tvnotours.tmp", "~tv1_2.txt"}) EXPECT_TRUE(left[name] == foreign) << name;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(0, MaxDifference(picture, LoadBmpPixels(here / ("big" + std::to_string(i) + ".bmp")))) << i;
}

// tolvpack restore on a folder, its standard output kept.
DWORD RunTolvpackRestore(const std::string& folder, std::string* output) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    std::string outPath = folder + ".out";
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    std::string line = "\"" + WindowsPath(TOLVPACK_PATH) + "\" restore \"" + folder + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
    DWORD code = Finish(process);
    CloseHandle(out);
    *output = FileText(outPath);
    DeleteFileA(outPath.c_str());
    return code;
}

// A scanner holding each new file for 300 ms: every picture restored, the
// list and every JPEG gone, nothing of the restorer's left; by tolvinst
// and by tolvpack restore, which says how often it waited.
TEST(RestorerEdge, AScannerHoldingEachNewFileOnlyDelaysTheRestore) {
    for (bool byTolvpack : {false, true}) {
        SCOPED_TRACE(byTolvpack ? "tolvpack restore" : "tolvinst");
        Scratch here;
        Pairs list;
        std::vector<std::string> names;
        for (int i = 0; i < 40; ++i) {
            names.push_back("p" + std::to_string(i) + ".jpg");
            list.push_back({names.back(), "p" + std::to_string(i) + ".bmp"});
        }
        Pixels picture = PlaceJpegs(here, names, 1024, 768);  // each BMP takes a moment to write
        WriteText(here / "tvfile.txt", ListText(list));
        Scanner scanner;
        DWORD code;
        std::string output;
        {
            FolderWatch watch(here.Path(), Scanner::Hold, &scanner);
            DWORD start = GetTickCount();
            code = byTolvpack ? RunTolvpackRestore(here.Path(), &output) : RunHidden(here.Path());
            printf("%s under the scanner: %.1f s, %ld files held; %s\n", byTolvpack ? "tolvpack restore" : "tolvinst",
                   (GetTickCount() - start) / 1000.0, scanner.held, output.c_str());
        }
        scanner.Finish();
        EXPECT_EQ(0u, code);
        EXPECT_GE(scanner.held, 20);  // under load a notice may cover several files
        Files left = FolderFiles(here.Path());
        EXPECT_EQ(40u, left.size());  // the BMPs alone
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(0, MaxDifference(picture, LoadBmpPixels(here / ("p" + std::to_string(i) + ".bmp")))) << i;
    }
}

// A JPEG another program keeps open cannot be deleted: its entry stays, and
// once it is let go a rerun finishes.
TEST(RestorerEdge, AJpegHeldOpenKeepsItsEntry) {
    Scratch here;
    PlaceJpegs(here, {"a.jpg", "b.jpg"}, 32, 24);
    WriteText(here / "tvfile.txt", ListText({{"a.jpg", "a.bmp"}, {"b.jpg", "b.bmp"}}));
    HANDLE held = CreateFileA((here / "b.jpg").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(1u, RunHidden(here.Path()));
    CloseHandle(held);
    EXPECT_EQ(ListText({{"b.jpg", "b.bmp"}}), FileText(here / "tvfile.txt"));
    EXPECT_FALSE(FileExists(here / "a.jpg") || FileExists(here / "tvdone.txt"));
    EXPECT_EQ(0u, RunHidden(here.Path()));
    EXPECT_EQ(2u, FolderFiles(here.Path()).size());  // the BMPs alone
}

// Killed the moment the list changes (deleted, or rewritten to the entry
// not restored): the rerun finishes the deletions.
TEST(RestorerEdge, ARerunAfterAKillAtTheListUpdateFinishesTheDeletions) {
    struct Kill {
        HANDLE process = nullptr;
        static void OnChange(DWORD action, const std::wstring& path, void* context) {
            Kill& kill = *static_cast<Kill*>(context);
            bool list = path.size() >= 10 && path.compare(path.size() - 10, 10, L"tvfile.txt") == 0;
            if (list && (action == FILE_ACTION_REMOVED || action == FILE_ACTION_RENAMED_NEW_NAME) && kill.process)
                TerminateProcess(kill.process, 99);
        }
    };
    for (bool oneMissing : {false, true}) {
        SCOPED_TRACE(oneMissing ? "list rewritten" : "list deleted");
        TempFolder here;
        Pairs list;
        std::vector<std::string> names;
        for (int i = 0; i < 200; ++i) {
            names.push_back("p" + std::to_string(i) + ".jpg");
            list.push_back({names.back(), "p" + std::to_string(i) + ".bmp"});
        }
        if (oneMissing) list.back() = {"absent.jpg", "absent.bmp"}, names.pop_back();
        PlaceJpegs(here, names, 16, 16);
        WriteText(here / "tvfile.txt", ListText(list));
        Kill kill;
        PROCESS_INFORMATION process = StartRestorer(here.Path());
        {
            kill.process = process.hProcess;
            FolderWatch watch(here.Path(), Kill::OnChange, &kill);
            WaitForSingleObject(process.hProcess, 120000);
        }
        EXPECT_EQ(99u, Finish(process)) << "not killed at the list update";
        EXPECT_EQ(oneMissing ? 1u : 0u, RunHidden(here.Path()));
        EXPECT_TRUE(FileNames(here.Path(), "p*.jpg").empty());
        EXPECT_FALSE(FileExists(here / "tvdone.txt"));
        EXPECT_EQ(oneMissing, FileExists(here / "tvfile.txt"));
        EXPECT_EQ(200u, FolderFiles(here.Path()).size());  // the BMPs, and the list of the one missing
    }
}

// Started by an unquoted path from another folder: the folder on the
// command line is the one restored.
TEST(RestorerEdge, AnUnquotedStartFromAnotherFolderRestoresTheNamedFolder) {
    TempFolder here, elsewhere;
    Pixels picture = PlaceJpegs(here, {"a.jpg"}, 24, 16);
    WriteText(here / "tvfile.txt", ListText({{"a.jpg", "a.bmp"}}));
    PROCESS_INFORMATION process = StartRestorer(here.Path(), false, elsewhere.Path());
    EXPECT_EQ(0u, Finish(process));
    EXPECT_EQ(0, MaxDifference(picture, LoadBmpPixels(here / "a.bmp")));
    EXPECT_TRUE(FolderFiles(elsewhere.Path()).empty());
}

// Runs a Unix command in a folder and waits until path is there (or gone):
// Wine starts a Unix program but gives no handle to wait on.
bool RunUnix(const std::string& folder, std::string line, const std::string& path, bool there) {
    line = "Z:\\bin\\" + line;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process))
        return false;
    for (int polls = 0; polls < 500; ++polls, Sleep(10))
        if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == there) return true;
    return false;
}

// A subfolder that is a Unix symbolic link to a folder outside stands in for
// a junction (Wine reports it as a reparse point): nothing outside is
// written or deleted through it.
TEST(RestorerEdge, NothingOutsideIsWrittenOrDeletedThroughALinkedSubfolder) {
    TempFolder root;
    const std::string here = root / "install", outside = root / "outside", link = here + "\\sub";
    ASSERT_TRUE(CreateDirectoryA(here.c_str(), nullptr) && CreateDirectoryA(outside.c_str(), nullptr));
    ASSERT_TRUE(SaveJpeg(outside + "\\victim.jpg", MakePicture(24, 16, 3), 95));
    ASSERT_TRUE(WriteBytes(outside + "\\important.doc", {'d', 'o', 'c'}));
    const Files before = FolderFiles(outside);
    ASSERT_TRUE(RunUnix(here, "ln -s ../outside sub", link, true));
    WriteText(here + "\\tvfile.txt", ListText({{"sub\\victim.jpg", "sub\\important.doc"}}));
    EXPECT_EQ(1u, RunHidden(here));
    EXPECT_TRUE(FolderFiles(outside) == before);
    EXPECT_TRUE(RunUnix(here, "rm sub", link, false));
}

}  // namespace
