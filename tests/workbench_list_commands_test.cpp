// The list commands through the real menu ids, the harness answering the real choosers and boxes.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "command_support.h"
#include "dialog_answerer.h"
#include "list_editing.h"
#include "resource.h"
#include "test_images.h"
#include "workbench_harness.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

const char kBmpNameCaption[] = "BMP変換ファイル名";
const char kEditCaption[] = "JPG・BMPファイル名編集";
const char kTooLong[] = "ファイル名は60文字以内にしてください";
const char kListFull[] = "リストは200件で一杯です。追加できません";

Entries ListEntries() {
    Entries entries;
    for (int i = 0; i < PairList.count; ++i) entries.push_back({PairList.entries[i].jpgName, PairList.entries[i].bmpName});
    return entries;
}

// The entries FillList made, by index.
Entries Filled(const std::vector<int>& indexes) {
    Entries entries;
    for (int i : indexes) entries.push_back({JpegNameOf(i), BmpNameOf(i)});
    return entries;
}

std::vector<int> Range(int count) {
    std::vector<int> indexes;
    for (int i = 0; i < count; ++i) indexes.push_back(i);
    return indexes;
}

void SetList(int count, int selection, int top = 0) {
    PairList = PairListModel{};
    FillList(count);
    PairList.selection = selection;
    PairList.top = top;
}

// The program's dialog with this caption that lies on top, on this thread.
HWND FindDialog(const char* caption) {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", caption));)
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) return window;
    return nullptr;
}

std::string FieldText(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void PressOkButton(HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_OK)));
}

// Add through the menu with `path` chosen; the BMP name dialog it opened.
HWND Add(DialogAnswerer& answerer, const std::string& path) {
    answerer.ChooseFile(path);
    OnCommand(IDM_ADD_ENTRY);
    return FindDialog(kBmpNameCaption);
}

std::vector<std::string> TextsOf(const DialogAnswerer& answerer) {
    std::vector<std::string> texts;
    for (const DialogAnswerer::Seen& seen : answerer.Answered()) texts.push_back(seen.text);
    return texts;
}

bool WriteText(const std::string& path, const std::string& text) {
    return WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

int FilesIn(const TempFolder& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder / "*").c_str(), &found);
    int count = 0;
    if (search == INVALID_HANDLE_VALUE) return 0;
    do count += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY); while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

using ListCommandTest = WorkbenchTest;

TEST(DerivedBmpName, ReplacesTheLastThreeBytesWithoutSplittingACharacter) {
    const std::string sixty = std::string(56, 'n') + ".jpg";
    const std::pair<std::string, std::string> cases[] = {
        {"photo.jpg", "photo.bmp"}, {"a.jpeg", "a.jbmp"}, {"readme", "reabmp"},
        {"ab", "bmp"},              {"", "bmp"},          {"写真x", "写bmp"},
        {"x写真", "xbmp"},          {sixty, sixty.substr(0, 57) + "bmp"},
    };
    for (const auto& [jpg, bmp] : cases) {
        char derived[kNameSize];
        memset(derived, 'Z', sizeof derived);
        DeriveBmpName(jpg.c_str(), derived);
        EXPECT_EQ(bmp, derived) << jpg;
    }
}

TEST_F(ListCommandTest, AddInsertsAtTheSelectionOrAppends) {
    TempFolder folder;
    struct Case {
        int count, selection, at;
    } cases[] = {{5, 2, 2}, {5, -1, 5}, {0, -1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection);
        SetList(c.count, c.selection);
        DialogAnswerer answerer;
        HWND dialog = Add(answerer, folder / "new.jpg");
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ("new.bmp", FieldText(dialog, IDC_FIRST_FIELD));
        SetDlgItemTextA(dialog, IDC_FIRST_FIELD, "renamed.bmp");
        PressOkButton(dialog);
        EXPECT_FALSE(IsWindow(dialog));

        Entries expected = Filled(Range(c.count));
        expected.insert(expected.begin() + c.at, {"new.jpg", "renamed.bmp"});
        EXPECT_EQ(expected, ListEntries());
        EXPECT_EQ(c.selection, PairList.selection) << "the selection now marks the new entry";

        const DialogAnswerer::Seen& chooser = answerer.Answered().at(0);
        EXPECT_EQ("ＪＰＧファイル読み出し", chooser.caption);
        EXPECT_EQ("", chooser.text);
        EXPECT_EQ("JpgFile(*.jpg)", chooser.fileType);
        EXPECT_EQ(MainWindow(), chooser.owner);
    }
}

// What the user sees: the highlight stays on the row of the inserted entry.
TEST_F(ListCommandTest, HighlightShowsTheInsertedEntry) {
    TempFolder folder;
    SetList(5, 2);
    DialogAnswerer answerer;
    PressOkButton(Add(answerer, folder / "new.jpg"));
    Canvas shown, expected;
    PaintListView(shown.Dc());
    HDC dc = expected.Dc();
    PatBlt(dc, 6, RowTop(2), 383, 18, BLACKNESS);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    TextOutA(dc, 6, RowTop(2), "  2", 3);
    TextOutA(dc, 40, RowTop(2), "new.jpg", 7);
    TextOutA(dc, 200, RowTop(2), "new.bmp", 7);
    EXPECT_TRUE(shown.Same(expected, 6, RowTop(2), 388, RowTop(2) + 17));
    EXPECT_EQ(kWhite, shown.At(387, RowTop(3) + 1));
}

TEST_F(ListCommandTest, NamesAreStoredWholeOrRefused) {
    TempFolder folder;
    const std::string sixty = std::string(56, 's') + ".jpg";
    const std::string sixtyBmp = std::string(56, 's') + ".bmp";
    SetList(0, -1);
    DialogAnswerer answerer;

    // A chosen 61-byte name: the warning, and no dialog.
    answerer.ChooseFile(folder / ("x" + sixty));
    answerer.PressOk();
    OnCommand(IDM_ADD_ENTRY);
    EXPECT_EQ(nullptr, FindDialog(kBmpNameCaption));
    EXPECT_EQ(0, PairList.count);

    // A 60-byte name and its 60-byte BMP name go through OK unchanged.
    HWND dialog = Add(answerer, folder / sixty);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(sixtyBmp, FieldText(dialog, IDC_FIRST_FIELD));
    // A typed name one byte too long is refused and the dialog stays open.
    SetDlgItemTextA(dialog, IDC_FIRST_FIELD, ("x" + sixtyBmp).c_str());
    answerer.PressOk();
    PressOkButton(dialog);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(0, PairList.count);
    SetDlgItemTextA(dialog, IDC_FIRST_FIELD, sixtyBmp.c_str());
    PressOkButton(dialog);
    EXPECT_EQ((Entries{{sixty, sixtyBmp}}), ListEntries());

    ASSERT_EQ(4u, answerer.Answered().size());
    for (int box : {1, 3}) {
        EXPECT_EQ(kTooLong, answerer.Answered()[box].text);
        EXPECT_EQ("ファイルの追加", answerer.Answered()[box].caption);
        EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), answerer.Answered()[box].icon);
    }
    EXPECT_EQ(MainWindow(), answerer.Answered()[1].owner);

    // A name the list file cannot carry: the warning, and no dialog.
    answerer.ChooseFile(folder / "a b.jpg");
    answerer.PressOk();
    OnCommand(IDM_ADD_ENTRY);
    EXPECT_EQ(nullptr, FindDialog(kBmpNameCaption));
    EXPECT_EQ(1, PairList.count);
    EXPECT_EQ("空白や制御文字を含むファイル名は追加できません", answerer.Answered().back().text);
}

// Each dialog keeps the JPEG it was opened for, whichever OK comes first.
TEST_F(ListCommandTest, EachBmpNameDialogStoresItsOwnPairAndTheCloseBoxAddsNothing) {
    TempFolder folder;
    for (bool earlierFirst : {true, false}) {
        SCOPED_TRACE(earlierFirst);
        SetList(0, -1);
        DialogAnswerer answerer;
        HWND earlier = Add(answerer, folder / "first.jpg");
        HWND later = Add(answerer, folder / "second.jpg");
        ASSERT_NE(nullptr, earlier);
        ASSERT_NE(earlier, later);
        SetDlgItemTextA(earlier, IDC_FIRST_FIELD, "typed.bmp");
        PressOkButton(earlierFirst ? earlier : later);
        PressOkButton(earlierFirst ? later : earlier);
        const std::pair<std::string, std::string> first = {"first.jpg", "typed.bmp"}, second = {"second.jpg", "second.bmp"};
        EXPECT_EQ(earlierFirst ? (Entries{first, second}) : (Entries{second, first}), ListEntries());
    }

    DialogAnswerer answerer;
    HWND closed = Add(answerer, folder / "third.jpg");
    ASSERT_NE(nullptr, closed);
    SendMessageA(closed, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_FALSE(IsWindow(closed));
    EXPECT_EQ(2, PairList.count);
}

// Add at a selection of 198 or 199 and delete there change nothing, and say why.
TEST_F(ListCommandTest, AFullListAndTheLastTwoRowsTakeNothingAndSaySo) {
    TempFolder folder;
    const std::string notThere = "ファイルの追加:項198と項199の位置には追加できません。\n選択を外すと最後に追加します";
    struct Case {
        int command, count, selection;
        std::string box;
    } cases[] = {
        {IDM_ADD_ENTRY, kListCapacity, -1, "ファイルの追加:" + std::string(kListFull)},
        {IDM_ADD_ENTRY, kListCapacity, 197, "ファイルの追加:" + std::string(kListFull)},
        {IDM_ADD_ENTRY, kListCapacity, 198, notThere},
        {IDM_ADD_ENTRY, 199, 198, notThere},
        {IDM_DELETE_ENTRY, kListCapacity, 198, "ファイルの削除:項198と項199は削除できません"},
        {IDM_DELETE_ENTRY, 199, 198, "ファイルの削除:項198と項199は削除できません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box + " at " + std::to_string(c.selection));
        SetList(c.count, c.selection);
        DialogAnswerer answerer;
        if (c.command == IDM_ADD_ENTRY) {
            HWND dialog = Add(answerer, folder / "more.jpg");
            answerer.PressOk();
            PressOkButton(dialog);
        } else {
            answerer.PressOk();
            OnCommand(c.command);
        }
        EXPECT_EQ(Filled(Range(c.count)), ListEntries());
        EXPECT_EQ(c.selection, PairList.selection);
        const DialogAnswerer::Seen& box = answerer.Answered().back();
        EXPECT_EQ(c.box, box.caption + ":" + box.text);
        EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), box.icon);
    }
    // 199 entries still take one at a selection below 198.
    SetList(199, 5);
    DialogAnswerer answerer;
    PressOkButton(Add(answerer, folder / "last.jpg"));
    EXPECT_EQ(200, PairList.count);
    EXPECT_STREQ("last.jpg", PairList.entries[5].jpgName);
    EXPECT_EQ(JpegNameOf(198), PairList.entries[199].jpgName);
}

TEST_F(ListCommandTest, DeleteRemovesTheSelectedEntry) {
    struct Case {
        int count, selection, selectionAfter;
        std::vector<int> left;
    } cases[] = {
        {3, 0, 0, {1, 2}},    {3, 1, 1, {0, 2}}, {3, 2, 1, {0, 1}}, {1, 0, -1, {}},
        {3, -1, -1, {0, 1, 2}}, {200, 197, 197, {}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.selection);
        if (c.count == 200) {
            c.left = Range(200);
            c.left.erase(c.left.begin() + 197);
        }
        SetList(c.count, c.selection);
        OnCommand(IDM_DELETE_ENTRY);
        EXPECT_EQ(Filled(c.left), ListEntries());
        EXPECT_EQ(c.selectionAfter, PairList.selection);
        if (c.selection == c.count - 1) {
            EXPECT_STREQ("", PairList.entries[c.count - 1].jpgName) << "slot cleared";
        }
    }
}

TEST_F(ListCommandTest, EditWritesTheEntrySelectedAtOk) {
    const std::string sixty(60, 'e');
    SetList(3, 1);
    OnCommand(IDM_EDIT_ENTRY);
    HWND dialog = FindDialog(kEditCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(JpegNameOf(1), FieldText(dialog, IDC_FIRST_FIELD));
    EXPECT_EQ(BmpNameOf(1), FieldText(dialog, IDC_SECOND_FIELD));
    SetDlgItemTextA(dialog, IDC_FIRST_FIELD, sixty.c_str());
    SetDlgItemTextA(dialog, IDC_SECOND_FIELD, "");
    PairList.selection = 2;  // selection changed while the dialog is open
    PressOkButton(dialog);
    EXPECT_FALSE(IsWindow(dialog));
    Entries expected = Filled({0, 1});
    expected.push_back({sixty, ""});
    EXPECT_EQ(expected, ListEntries());

    // Unchanged 60-byte names come back whole.
    OnCommand(IDM_EDIT_ENTRY);
    PressOkButton(FindDialog(kEditCaption));
    EXPECT_EQ(expected, ListEntries());

    // Too long is refused; no selection at OK changes nothing.
    DialogAnswerer answerer;
    answerer.PressOk();
    OnCommand(IDM_EDIT_ENTRY);
    dialog = FindDialog(kEditCaption);
    SetDlgItemTextA(dialog, IDC_SECOND_FIELD, (sixty + "x").c_str());
    PressOkButton(dialog);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(expected, ListEntries());
    SetDlgItemTextA(dialog, IDC_SECOND_FIELD, "ok.bmp");
    PairList.selection = -1;
    PressOkButton(dialog);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(expected, ListEntries());
    ASSERT_EQ(1u, answerer.Answered().size());
    EXPECT_EQ(kTooLong, answerer.Answered()[0].text);
    EXPECT_EQ(kEditCaption, answerer.Answered()[0].caption);

    OnCommand(IDM_EDIT_ENTRY);
    EXPECT_EQ(nullptr, FindDialog(kEditCaption)) << "no selection: no dialog";
}

// Files made through the wide API, so that names outside the code page exist.
void MakeFiles(const TempFolder& folder, const std::vector<std::wstring>& names) {
    std::wstring base(folder.Path().begin(), folder.Path().end());  // ASCII
    for (const std::wstring& name : names) {
        std::wstring path = base + L"\\" + name;
        if (name.back() == L'\\') {
            ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
            continue;
        }
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        std::string content(name.size(), 'x');  // sizes differ by name
        DWORD written;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
}

// Only files whose names the list carries and that name the file found go
// in; the box counts each other reason and names its first file.
TEST_F(ListCommandTest, AddAllAppendsEveryJpegTheListCanName) {
    const std::wstring longName = std::wstring(57, L'L') + L".jpg";  // 61 bytes
    const std::string header = "追加しなかったファイルが";
    struct Case {
        int count;
        std::vector<std::wstring> files;  // a trailing separator makes a folder
        std::vector<std::string> added;
        std::vector<std::string> boxes;
    } cases[] = {
        {2, {L"a.jpg", L"b.jpg", L"写真.jpg", L"note.bmp", L"x.jpg\\"}, {"a.jpg", "b.jpg", "写真.jpg"}, {"読込完了"}},
        {2, {L"note.bmp"}, {}, {"読込出来ません！"}},
        {0,
         {L"ok.jpg", longName, L"with space.jpg", L"测试.jpg", L"x.jpg\\"},
         {"ok.jpg"},
         {header + "3個あります。\nファイル名が60文字を超える: 1個\n　最初のファイル : " + std::string(57, 'L') +
              ".jpg\nファイル名に空白か制御文字がある: 1個\n　最初のファイル : with space.jpg"
              "\nファイル名にShift-JISで表せない文字がある: 1個\n　最初のファイル : ??.jpg",
          "読込完了"}},
        // The system spells "café" as "cafe", which names another file: left out, not mixed up.
        {0,
         {L"cafe.jpg", L"caf\u00e9.jpg"},
         {"cafe.jpg"},
         {header + "1個あります。\nファイル名にShift-JISで表せない文字がある: 1個\n　最初のファイル : cafe.jpg", "読込完了"}},
        {199, {L"t.jpg"}, {}, {header + "1個あります。\nリストの上限に達した: 1個\n　最初のファイル : t.jpg", "読込完了"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.size());
        TempFolder folder;
        MakeFiles(folder, c.files);
        SetList(c.count, 1);
        DialogAnswerer answerer;
        answerer.ChooseFolder(folder.Path());
        for (size_t i = 0; i < c.boxes.size(); ++i) answerer.PressOk();
        OnCommand(IDM_ADD_FOLDER);

        EXPECT_EQ("JPGファイルのフォルダを選択", answerer.Answered().at(0).text);
        std::vector<std::string> texts = TextsOf(answerer);
        EXPECT_EQ(c.boxes, std::vector<std::string>(texts.begin() + 1, texts.end()));
        EXPECT_EQ(1, PairList.selection);
        std::set<std::string> found;
        for (int i = c.count; i < PairList.count; ++i) {
            found.insert(PairList.entries[i].jpgName);
            std::string jpg = PairList.entries[i].jpgName;
            EXPECT_EQ(jpg.substr(0, jpg.size() - 3) + "bmp", PairList.entries[i].bmpName);
        }
        EXPECT_EQ(std::set<std::string>(c.added.begin(), c.added.end()), found);
        EXPECT_EQ(c.count + c.added.size(), static_cast<size_t>(PairList.count));
    }
}

// A cancelled chooser ends the command: nothing added, read or written.
TEST_F(ListCommandTest, CancelledChoosersEndTheCommand) {
    TempFolder folder;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    SetCurrentDirectoryA(folder.Path().c_str());
    for (int command : {IDM_ADD_ENTRY, IDM_ADD_FOLDER, IDM_OPEN_LIST, IDM_SAVE_LIST}) {
        SCOPED_TRACE(command);
        SetList(3, 1);
        DialogAnswerer answerer;
        if (command == IDM_ADD_FOLDER) answerer.CancelFolder();
        else answerer.CancelFile();
        OnCommand(command);
        EXPECT_EQ(1u, answerer.Answered().size()) << "no box after the chooser";
        EXPECT_EQ(nullptr, FindDialog(kBmpNameCaption));
        EXPECT_EQ(Filled(Range(3)), ListEntries());
        EXPECT_EQ(1, PairList.selection);
    }
    EXPECT_EQ(0, FilesIn(folder));
    SetCurrentDirectoryA(previous);

    // A typed path too long for the buffer is no choice either. (Longer than
    // the platform's 260 bytes would overrun Wine's own file dialog.)
    DialogAnswerer answerer;
    answerer.ChooseFile(folder / std::string(258 - folder.Path().size() - 1, 'p'));
    char name[kPathSize] = "keep.jpg";
    EXPECT_FALSE(ChooseFile(MainWindow(), "title", "All\0*.*\0", name));
    EXPECT_STREQ("keep.jpg", name);
}

TEST_F(ListCommandTest, SavedListOpensAgainAsItWas) {
    TempFolder folder;
    const std::string file = folder / "tvfile.txt";
    for (int i : {0, 1}) ASSERT_TRUE(WriteText(folder / JpegNameOf(i), ""));
    SetList(2, 1);
    DialogAnswerer answerer;
    answerer.ChooseFile(file);
    OnCommand(IDM_SAVE_LIST);
    EXPECT_EQ("2\r\np0.jpg\r\nb0.bmp\r\npw1.jpg\r\nb1m.bmp\r\n", ReadText(file));
    EXPECT_EQ(1, PairList.selection) << "saving changes nothing in the view";

    SetList(0, 5, 16);
    answerer.ChooseFile(file);
    OnCommand(IDM_OPEN_LIST);
    EXPECT_EQ(Filled({0, 1}), ListEntries());
    EXPECT_EQ(-1, PairList.selection);
    EXPECT_EQ(16, PairList.top);

    for (const DialogAnswerer::Seen& chooser : answerer.Answered()) {
        EXPECT_EQ("tvfile.txtファイル読み出し", chooser.caption);
        EXPECT_EQ("tvfile.txt", chooser.text);
        EXPECT_EQ("tvfile.txt", chooser.fileType);
        EXPECT_EQ(MainWindow(), chooser.owner);
    }

    // The empty list over the old file, with no question and nothing left beside it.
    SetList(0, -1);
    answerer.ChooseFile(file);
    OnCommand(IDM_SAVE_LIST);
    EXPECT_EQ("0\r\n", ReadText(file));
    EXPECT_EQ(3, FilesIn(folder));
    SetList(3, -1);
    answerer.ChooseFile(file);
    OnCommand(IDM_OPEN_LIST);
    EXPECT_EQ(0, PairList.count);

    // A count of 250 loads the capacity.
    std::string big = "250\r\n";
    for (int i = 0; i < 250; ++i) big += JpegNameOf(i) + "\r\n" + BmpNameOf(i) + "\r\n";
    ASSERT_TRUE(WriteText(file, big));
    answerer.ChooseFile(file);
    OnCommand(IDM_OPEN_LIST);
    EXPECT_EQ(Filled(Range(200)), ListEntries());

    // The byte 0x1A ends the file, as it does for the restorer's text-mode read.
    ASSERT_TRUE(WriteText(file, "3\r\na.jpg\r\na.bmp\r\nb.jpg\r\nb.bmp\x1A\r\nc.jpg\r\nc.bmp\r\n"));
    answerer.ChooseFile(file);
    OnCommand(IDM_OPEN_LIST);
    EXPECT_EQ((Entries{{"a.jpg", "a.bmp"}, {"b.jpg", "b.bmp"}, {"", ""}}), ListEntries());
}

// After a save, the entries the restorer would refuse in that folder are
// told; the file is written all the same, and a whole list gives no box.
TEST_F(ListCommandTest, SaveTellsWhatWouldNotBeRestoredFromItsFolder) {
    TempFolder folder;
    const std::string file = folder / "tvfile.txt";
    ASSERT_TRUE(WriteText(folder / "a.jpg", "") && WriteText(folder / "b.jpg", ""));
    const std::string header = "保存しました。\nインストール時にBMPに戻せない項が";
    const std::string missing = " : JPGファイルがフォルダにない";
    Entries sevenMissing;
    for (int i = 0; i < 7; ++i) sevenMissing.push_back({"m" + std::to_string(i) + ".jpg", "m.bmp"});
    struct Case {
        Entries entries;
        std::string box;  // empty: none
    } cases[] = {
        {{{"a.jpg", "a.bmp"}, {"gone.jpg", "gone.bmp"}, {"b.jpg", "TVFile.txt."}},
         header + "2個あります。\n項1" + missing + "\n項2 : BMP名がリストファイルと同じファイルになる"},
        {sevenMissing, header + "7個あります。\n項0" + missing + "\n項1" + missing + "\n項2" + missing + "\n項3" +
                           missing + "\n項4" + missing + "\nほか2個"},
        {{{"a.jpg", "a.bmp"}, {"b.jpg", "b.bmp"}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries.size());
        SetList(0, -1);
        std::string written = std::to_string(c.entries.size()) + "\r\n";
        for (const auto& [jpg, bmp] : c.entries) {
            PairEntry& entry = PairList.entries[PairList.count++];
            snprintf(entry.jpgName, kNameSize, "%s", jpg.c_str());
            snprintf(entry.bmpName, kNameSize, "%s", bmp.c_str());
            written += jpg + "\r\n" + bmp + "\r\n";
        }
        DialogAnswerer answerer;
        answerer.ChooseFile(file);
        if (!c.box.empty()) answerer.PressOk();
        OnCommand(IDM_SAVE_LIST);
        EXPECT_EQ(written, ReadText(file));
        EXPECT_EQ(c.entries, ListEntries());
        if (c.box.empty()) continue;
        const DialogAnswerer::Seen& box = answerer.Answered().back();
        EXPECT_EQ("リストの確認:" + c.box, box.caption + ":" + box.text);
        EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), box.icon);
        EXPECT_EQ(MainWindow(), box.owner);
    }
}

TEST_F(ListCommandTest, FailuresLeaveListAndFileAsTheyWere) {
    TempFolder folder;
    const std::string file = folder / "tvfile.txt";
    const std::string old = "1\r\nold.jpg\r\nold.bmp\r\n";
    ASSERT_TRUE(WriteText(file, old));
    DialogAnswerer answerer;

    // Open of a missing file: the warning, and the list, selection and view kept.
    SetList(3, 1, 8);
    answerer.ChooseFile(folder / "missing.txt");
    answerer.PressOk();
    OnCommand(IDM_OPEN_LIST);
    EXPECT_EQ(Filled(Range(3)), ListEntries());
    EXPECT_EQ(1, PairList.selection);
    EXPECT_EQ(8, PairList.top);

    // A list that would read back shifted is not saved; no chooser is shown.
    for (auto broken : {"a b.jpg", "", "tab\t.bmp"}) {
        SetList(3, -1);
        snprintf(PairList.entries[1].bmpName, kNameSize, "%s", broken);
        answerer.PressOk();
        OnCommand(IDM_SAVE_LIST);
    }
    // A target that cannot be replaced, and one in a missing folder.
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    for (const std::string& target : {file, folder / "none\\tvfile.txt"}) {
        SetList(3, -1);
        answerer.ChooseFile(target);
        answerer.PressOk();
        OnCommand(IDM_SAVE_LIST);
    }
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(old, ReadText(file));
    EXPECT_EQ(1, FilesIn(folder)) << "no temporary file left beside the old list";

    std::vector<std::string> boxes;
    for (const DialogAnswerer::Seen& seen : answerer.Answered())
        if (seen.kind == DialogAnswerer::Kind::MessageBox) boxes.push_back(seen.caption + ":" + seen.text);
    const std::string refused = "ﾌｧｲﾙｴﾗｰ:項1のファイル名が空か、空白や制御文字を含んでいます。\n修正(E)で直してから保存してください";
    const std::string cannotOpen = "ﾌｧｲﾙｴﾗｰ:ﾌｧｲﾙが開けません";
    EXPECT_EQ((std::vector<std::string>{cannotOpen, refused, refused, refused, cannotOpen, cannotOpen}), boxes);
    EXPECT_EQ(nullptr, answerer.Answered()[1].owner) << "the open warning has no owner";
}

}  // namespace
