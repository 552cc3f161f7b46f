// tolvinst and tolvpack restore started as installers start them, with a
// wide command line, under whatever code page the system runs (the script
// beside this runs it under 932, 1252 and 65001): Japanese picture names and
// install folders named in any script must come through whole. This test's
// own file work goes through wide calls only, so it is the same under every
// code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "test_images.h"
#include "win_process.h"

namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;  // JPEG name, BMP name

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Utf8(const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

// A name as the list file carries it, whatever the system's code page.
std::string ShiftJis(const std::wstring& name) {
    char bytes[MAX_PATH];
    BOOL lost = FALSE;
    int length = WideCharToMultiByte(932, 0, name.data(), static_cast<int>(name.size()), bytes, sizeof bytes,
                                     nullptr, &lost);
    EXPECT_TRUE(length > 0 && !lost) << Utf8(name);
    return std::string(bytes, length > 0 ? length : 0);
}

bool WriteWide(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

std::vector<uint8_t> ReadWide(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return bytes;
    for (int c; (c = fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    fclose(file);
    return bytes;
}

// Names sorted and joined, in UTF-8 for the messages.
std::string Joined(const std::vector<std::wstring>& names) {
    std::set<std::string> sorted;
    for (const std::wstring& name : names) sorted.insert(Utf8(name));
    std::string text;
    for (const std::string& name : sorted) text += name + " ";
    return text;
}

std::string Listing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return "(no folder)";
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return Joined(names);
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring inside = path + L"\\" + found.cFileName;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(inside.c_str());
            else if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) RemoveTree(inside);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// A fresh folder under the system's temporary folder, removed with its content.
class WideFolder {
public:
    WideFolder() {
        static int serial = 0;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        do path_ = temp + (L"tolvcp_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial));
        while (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~WideFolder() { RemoveTree(path_); }
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Names made, removed or renamed directly in a folder while it is watched:
// also files that come and go within a run, such as the codec's temporary
// files, which a listing afterwards misses.
class FolderWatch {
public:
    explicit FolderWatch(const std::wstring& folder)
        : folder_(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr)) {
        overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        watching_ = ReadDirectoryChangesW(folder_, changes_, sizeof changes_, FALSE,
                                          FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, nullptr,
                                          &overlapped_, nullptr);
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch() {
        DWORD bytes;
        if (watching_ && CancelIo(folder_)) GetOverlappedResult(folder_, &overlapped_, &bytes, TRUE);
        CloseHandle(folder_);
        CloseHandle(overlapped_.hEvent);
    }
    // The names changed so far, after a moment for changes still on their way.
    std::string Changes() {
        if (!watching_) return "(the folder cannot be watched)";
        DWORD bytes = 0;
        if (WaitForSingleObject(overlapped_.hEvent, 500) != WAIT_OBJECT_0) return "";
        if (!GetOverlappedResult(folder_, &overlapped_, &bytes, FALSE) || bytes == 0) return "(too many to name)";
        std::string names;
        for (const BYTE* at = changes_;;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            names += Utf8(std::wstring(change->FileName, change->FileNameLength / sizeof(wchar_t))) + " ";
            if (change->NextEntryOffset == 0) return names;
            at += change->NextEntryOffset;
        }
    }

private:
    HANDLE folder_;
    OVERLAPPED overlapped_ = {};
    BOOL watching_ = FALSE;
    alignas(DWORD) BYTE changes_[4096];
};

struct Program {
    const char* name;
    const char* path;
    std::wstring (*commandLine)(const std::wstring& program, const std::wstring& folder);
};

const Program kPrograms[] = {
    // The folder prefix verbatim, final separator included, not quoted.
    {"tolvinst", TOLVINST_PATH,
     [](const std::wstring& program, const std::wstring& folder) { return L"\"" + program + L"\" " + folder + L"\\"; }},
    // restore DIR: an ordinary argument, quoted.
    {"tolvpack", TOLVPACK_PATH,
     [](const std::wstring& program, const std::wstring& folder) {
         return L"\"" + program + L"\" restore \"" + folder + L"\"";
     }},
};

void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

class CodePageRestore : public ::testing::TestWithParam<Program> {
protected:
    TempFolder scratch;  // an ASCII path, for the codec's helpers

    // Lays JPEGs and their list into `folder`; returns the pixels each BMP must get.
    std::vector<Pixels> Lay(const std::wstring& folder, const Pairs& pairs) {
        std::vector<Pixels> decoded;
        std::string list = std::to_string(pairs.size()) + "\r\n";
        for (size_t i = 0; i < pairs.size(); ++i) {
            const std::string made = scratch / "made.jpg";
            int n = static_cast<int>(i);
            EXPECT_TRUE(SaveJpeg(made, MakePicture(20 + n, 12 + n, 3, n), 85));
            decoded.push_back(LoadJpegPixels(made));
            EXPECT_TRUE(WriteWide(folder + L"\\" + pairs[i].first, ReadBytes(made)));
            list += ShiftJis(pairs[i].first) + "\r\n" + ShiftJis(pairs[i].second) + "\r\n";
        }
        EXPECT_TRUE(WriteWide(folder + L"\\tvfile.txt", std::vector<uint8_t>(list.begin(), list.end())));
        return decoded;
    }

    // Restores `pairs` in an install folder called `name`: exit 0, every
    // BMP under its own name with its JPEG's pixels, nothing else left in
    // the folder, and nothing made beside it, not even for a moment.
    void RestoreIn(const std::wstring& name, const Pairs& pairs) {
        WideFolder parent;
        const std::wstring folder = parent / name;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        std::vector<Pixels> decoded = Lay(folder, pairs);
        const std::string besideBefore = Listing(parent.Path());
        FolderWatch beside(parent.Path());

        // Started in the parent: whatever lands in the current folder instead
        // of the install folder shows there.
        const Program& program = GetParam();
        RunResult run = RunWideCommandLine(program.commandLine(Wide(WindowsPath(program.path)), folder),
                                           parent.Path(), SW_HIDE, 20000);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(0u, run.exitCode);
        std::vector<std::wstring> bmps;
        for (const auto& pair : pairs) bmps.push_back(pair.second);
        const std::string expected = Joined(bmps), restored = Listing(folder);
        EXPECT_EQ(expected, restored) << "in the install folder";
        for (size_t i = 0; i < pairs.size() && restored == expected; ++i) {
            const std::string copy = scratch / "restored.bmp";
            ASSERT_TRUE(WriteBytes(copy, ReadWide(folder + L"\\" + pairs[i].second)));
            EXPECT_EQ(0, MaxDifference(decoded[i], LoadBmpPixels(copy))) << Utf8(pairs[i].second);
        }
        EXPECT_EQ(besideBefore, Listing(parent.Path())) << "beside the install folder";
        EXPECT_EQ("", beside.Changes()) << "made beside the install folder during the run";
    }
};

// The script names the code page of each run: a locale Wine did not take
// cannot pass for another.
TEST(SystemCodePage, IsTheOneThisRunIsFor) {
    wchar_t expected[16] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"TOLVANE_CODE_PAGE", expected, 16), 0u)
        << "TOLVANE_CODE_PAGE names the code page this run is for";
    EXPECT_EQ(_wtoi(expected), static_cast<int>(GetACP()));
}

// The restorer's window and box are Shift-JIS texts read through code page
// 932, so the warning reads the same on every system.
TEST(CodePageBox, NoListWarningReadsTheSameOnEverySystem) {
    WideFolder folder;
    struct Box {
        DWORD processId;
        std::wstring text;
        bool answered = false;
    } box;
    auto answer = [&box](DWORD processId) {
        box.processId = processId;
        EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                Box& box = *reinterpret_cast<Box*>(parameter);
                DWORD owner = 0;
                wchar_t caption[64] = {}, text[64] = {};
                GetWindowThreadProcessId(window, &owner);
                GetWindowTextW(window, caption, 64);
                if (owner != box.processId || wcscmp(caption, L"ﾌｧｲﾙｴﾗｰ") != 0) return TRUE;
                // Read once shown: Wine gives the box its caption before its
                // text, and a box read in between reads empty.
                if (!IsWindowVisible(window) || GetDlgItemTextW(window, 0xFFFF, text, 64) == 0) return FALSE;
                box.text = text;
                box.answered = PostMessageW(window, WM_COMMAND, IDOK, 0) != 0;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&box));
    };
    std::wstring line = L"\"" + Wide(WindowsPath(TOLVINST_PATH)) + L"\" " + folder.Path() + L"\\";
    RunResult run = RunWideCommandLine(line, folder.Path(), SW_SHOWNORMAL, 30000, answer);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_TRUE(box.answered) << "no box captioned ﾌｧｲﾙｴﾗｰ";
    EXPECT_TRUE(box.text == L"ﾌｧｲﾙが開けません") << Utf8(box.text);
}

TEST_P(CodePageRestore, JapaneseNamesComeBackUnderTheirOwnNames) {
    // 表 is 95 5C in Shift-JIS: its second byte is the path separator.
    RestoreIn(L"inst", {{L"写真.jpg", L"写真.bmp"}, {L"ascii.jpg", L"画像.bmp"}, {L"表.jpg", L"表紙.bmp"}});
}

TEST_P(CodePageRestore, InstallFolderOfAnyScriptIsRestoredInPlace) {
    for (const wchar_t* name : {L"Program", L"Café", L"한글", L"表示"}) {
        SCOPED_TRACE(Utf8(name));
        RestoreIn(name, {{L"a.jpg", L"a.bmp"}, {L"b.jpg", L"b.bmp"}});
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, CodePageRestore, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

}  // namespace
