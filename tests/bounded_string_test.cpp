#include <gtest/gtest.h>

#include <cstring>

#include "bounded_string.h"

TEST(BoundedString, CopyFitsExactlyOrLeavesTheBufferAsItWas) {
    char buffer[6] = "old";
    EXPECT_TRUE(CopyString(buffer, "12345"));  // 5 bytes and the terminator: full
    EXPECT_STREQ("12345", buffer);
    EXPECT_FALSE(CopyString(buffer, "123456"));
    EXPECT_STREQ("12345", buffer);
    EXPECT_TRUE(CopyString(buffer, ""));
    EXPECT_STREQ("", buffer);
}

TEST(BoundedString, AppendReportsWhatDoesNotFit) {
    char path[kPathSize] = "C:\\folder\\";
    EXPECT_TRUE(AppendString(path, "a.jpg"));
    EXPECT_STREQ("C:\\folder\\a.jpg", path);

    std::string longest(kPathSize - 1 - strlen(path), 'x');
    char copy[kPathSize];
    memcpy(copy, path, sizeof copy);
    EXPECT_FALSE(AppendString(path, (longest + "y").c_str()));
    EXPECT_STREQ(copy, path);
    EXPECT_TRUE(AppendString(path, longest.c_str()));
    EXPECT_EQ(kPathSize - 1, strlen(path));

    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AppendString(unterminated, ""));
}

TEST(BoundedString, ReplaceLastBytesDerivesNamesWithoutParsingExtensions) {
    struct Case {
        const char* name;
        size_t count;
        const char* replacement;
        bool fits;
        const char* result;
    } cases[] = {
        {"photo.jpg", 3, "bmp", true, "photo.bmp"},
        {"a.jpeg", 3, "bmp", true, "a.jbmp"},
        {"readme", 3, "bmp", true, "reabmp"},
        {"photo.jpg", 4, "1.jpg", true, "photo1.jpg"},
        {"photo.jpeg", 4, "1.jpg", true, "photo.1.jpg"},
        {"ab", 3, "bmp", false, "ab"},
        {"", 3, "bmp", false, ""},
        {"abc", 3, "bmp", true, "bmp"},
    };
    for (const Case& c : cases) {
        char buffer[kNameSize];
        ASSERT_TRUE(CopyString(buffer, c.name));
        EXPECT_EQ(c.fits, ReplaceLastBytes(buffer, c.count, c.replacement)) << c.name;
        EXPECT_STREQ(c.result, buffer) << c.name;
    }
    char full[8] = "abcdefg";  // growing by one byte no longer fits
    EXPECT_FALSE(ReplaceLastBytes(full, 4, "1.jpg"));
    EXPECT_STREQ("abcdefg", full);
}

TEST(BoundedString, WholeCharacterLengthNeverCutsADoubleByteCharacter) {
    // "表" is 0x95 0x5C: its second byte looks like a separator.
    const struct {
        const char* text;
        size_t limit, expected;
    } cases[] = {{"abc", 2, 2}, {"abc", 9, 3}, {"a\x95\x5C", 2, 1}, {"a\x95\x5C", 3, 3},
                 {"ab\x95", 9, 2}, {"", 4, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.expected, WholeCharacterLength(c.text, c.limit)) << c.text;
}

TEST(BoundedString, FileNamePartStepsOverShiftJisTrailBytes) {
    EXPECT_STREQ("photo.jpg", FileNamePart("C:\\pics\\photo.jpg"));
    EXPECT_STREQ("photo.jpg", FileNamePart("pics/photo.jpg"));
    EXPECT_STREQ("photo.jpg", FileNamePart("C:photo.jpg"));
    EXPECT_STREQ("", FileNamePart("C:\\pics\\"));
    // 表 is 0x95 0x5C: its second byte is not a separator.
    EXPECT_STREQ("\x95\x5C.jpg", FileNamePart("C:\\\x95\x5C.jpg"));
    EXPECT_STREQ("a.jpg", FileNamePart("C:\\\x95\x5C\\a.jpg"));
}

TEST(BoundedString, PlainRelativeNamesStayInsideTheirFolder) {
    for (const char* good : {"a.jpg", "sub\\a.jpg", "..a.jpg", "a..jpg", "...", "\x95\x5C.jpg", "\x95\x5C..\\a"})
        EXPECT_TRUE(IsPlainRelativeName(good)) << good;
    for (const char* bad : {"", "\\a.jpg", "/a.jpg", "C:\\a.jpg", "C:a.jpg", "..", "..\\a.jpg", "sub\\..\\..\\a.jpg",
                            "sub/../a.jpg", "sub\\.."})
        EXPECT_FALSE(IsPlainRelativeName(bad)) << bad;
}

TEST(BoundedString, PathsCompareIgnoringAsciiCaseOnly) {
    EXPECT_TRUE(SameNameIgnoringCase("C:\\Pics\\A.JPG", "c:\\pics\\a.jpg"));
    EXPECT_FALSE(SameNameIgnoringCase("a.jpg", "a.jpgx"));
    // A trail byte in the letter range belongs to its character: 0x83 0x41 is ア, 0x83 0x61 is a different one.
    EXPECT_FALSE(SameNameIgnoringCase("\x83\x41", "\x83\x61"));
    EXPECT_TRUE(SameNameIgnoringCase("\x83\x41X", "\x83\x41x"));
}
