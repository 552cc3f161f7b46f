// The check both programs apply before a list ships or is restored: each
// entry as it would fare in the folder as it stands.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bounded_string.h"
#include "list_check.h"
#include "test_images.h"

namespace {

// A Shift-JIS name as the tests' own file calls spell it: UTF-8 on Linux,
// the test's code page (932) under Wine.
std::string OnDisk(const std::string& listName) {
#ifdef _WIN32
    return listName;
#else
    char name[kUtf8PathSize];
    EXPECT_TRUE(ListNameToUtf8(listName.c_str(), name));
    return name;
#endif
}

PairEntry Entry(const std::string& jpg, const std::string& bmp) {
    PairEntry entry = {};
    EXPECT_TRUE(CopyString(entry.jpgName, jpg.c_str()));
    EXPECT_TRUE(CopyString(entry.bmpName, bmp.c_str()));
    return entry;
}

TEST(ListCheck, EachEntryGetsTheReasonItWouldNotBeRestored) {
    TempFolder folder;
    // Double-byte names whose second byte is 0x5C, the separator's byte,
    // with lead bytes from both ranges.
    const std::string sjis[] = {"\x81\x5C", "\x9F\x5C", "\xE0\x5C", "\xFB\x5C"};
    for (const char* name : {"a.jpg", "b.jpg", "tvfile.txt"}) ASSERT_TRUE(WriteBytes(folder / name, {1}));
    for (const std::string& s : sjis) ASSERT_TRUE(WriteBytes(folder / OnDisk(s + "..jpg"), {1}));
    std::filesystem::create_directory(folder / "sub.jpg");
    struct Case {
        PairEntry entry;
        EntryProblem problem;
    } cases[] = {
        {Entry("a.jpg", "a.bmp"), kEntryRestorable},
        {Entry("b.jpg", "b.bmp"), kEntryRestorable},
        {Entry(sjis[0] + "..jpg", sjis[0] + "..bmp"), kEntryRestorable},
        {Entry(sjis[1] + "..jpg", sjis[1] + "..bmp"), kEntryRestorable},
        {Entry(sjis[2] + "..jpg", sjis[2] + "..bmp"), kEntryRestorable},
        {Entry(sjis[3] + "..jpg", sjis[3] + "..bmp"), kEntryRestorable},
        {Entry("absent.jpg", "absent.bmp"), kEntryJpegMissing},
        {Entry("sub.jpg", "sub.bmp"), kEntryJpegMissing},  // a folder is no JPEG
        {Entry("a.jpg", "A.JPG"), kEntryBmpIsItsJpeg},
        {Entry("a.jpg", "TVFILE.TXT"), kEntryBmpIsListFile},
        {Entry("a.jpg", "B.jpg"), kEntryBmpIsAnotherJpeg},
        {Entry("a.jpg", "..\\a.bmp"), kEntryNameLeavesFolder},
        {Entry("a.jpg", "../a.bmp"), kEntryNameLeavesFolder},
        {Entry("\\a.jpg", "x.bmp"), kEntryNameLeavesFolder},
        {Entry("a.jpg", "with blank.bmp"), kEntryNameNotCarried},
        {Entry("a.jpg", "tab\t.bmp"), kEntryNameNotCarried},
        {Entry("", "empty.bmp"), kEntryNameNotCarried},
        // A rerun's cleanup would remove such a file unread, or the lock holds it.
        {Entry("~tv1f_2.tmp", "x.bmp"), kEntryNameIsRestorers},
        {Entry("a.jpg", "sub\\~TV1_A.TMP"), kEntryNameIsRestorers},
        {Entry("a.jpg", "~tvlock.tmp."), kEntryNameIsRestorers},
        {Entry("TVDONE.TXT", "b.bmp"), kEntryNameIsRestorers},
        {Entry("a.jpg", "~tv1_2.txt"), kEntryRestorable},
        {Entry("a.jpg", std::string(kNameBytes, 'x')), kEntryPathTooLong},
    };
    const int count = sizeof cases / sizeof cases[0];
    std::vector<PairEntry> entries;
    for (const Case& c : cases) entries.push_back(c.entry);
    std::string prefix = folder.Path() + kSeparator;
    std::vector<EntryProblem> problems(count);
    CheckListEntries(prefix.c_str(), entries.data(), count, problems.data());
    for (int i = 0; i < count - 1; ++i)
        EXPECT_EQ(cases[i].problem, problems[i]) << i << ": " << entries[i].jpgName << " -> " << entries[i].bmpName;

    // Behind this prefix a short name fits the path buffers, a 60-byte one not.
    std::string deep = prefix + std::string(kPathSize - prefix.size() - 10, 'd') + kSeparator;
    CheckListEntries(deep.c_str(), &entries[count - 1], 1, &problems[count - 1]);
    EXPECT_EQ(kEntryPathTooLong, problems[count - 1]);
}

TEST(ListCheck, ShiftJisSecondBytesAreNeverSeparatorsOrLetters) {
    for (unsigned char lead : {0x81, 0x9F, 0xE0, 0xFC}) {
        std::string l(1, static_cast<char>(lead));
        SCOPED_TRACE(static_cast<int>(lead));
        EXPECT_TRUE(IsPlainRelativeName((l + "\x5C..").c_str()));  // not a ".." component
        EXPECT_STREQ((l + "\x5Cx.jpg").c_str(), FileNamePart(("dir\\" + l + "\x5Cx.jpg").c_str()));
        EXPECT_FALSE(SameNameIgnoringCase((l + "a").c_str(), (l + "A").c_str()));
        EXPECT_TRUE(IsCarriableName((l + "\x5C.jpg").c_str()));
    }
}

}  // namespace
