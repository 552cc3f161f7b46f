// Paths in UTF-8, list names in code page 932: the same answers in both
// builds (glibc's CP932 natively, Windows' own table under Wine).
#include <gtest/gtest.h>

#include <string>

#include "text_encoding.h"

namespace {

TEST(TextEncoding, ListNamesAreSpeltOnlyWhenCodePage932ReadsThemBack) {
    const struct {
        const char* utf8;
        const char* listName;  // null: no spelling
    } cases[] = {
        {u8"表紙.bmp", "\x95\x5C\x8E\x86.bmp"},  // a second byte 0x5C
        {u8"ｱｲ.bmp", "\xB1\xB2.bmp"},            // half-width katakana, one byte each
        {u8"波～.bmp", "\x94\x67\x81\x60.bmp"},   // U+FF5E, how Windows reads 0x81 0x60
        {u8"≒.bmp", "\x81\xE0.bmp"},
        {u8"波〜.bmp", nullptr},  // U+301C: written 0x81 0x60, read back as U+FF5E
        {u8"価格−割引.bmp", nullptr},  // U+2212: read back as U+FF0D
        {u8"題名—副題.bmp", nullptr},  // U+2014: read back as U+2015
        {u8"Café.bmp", nullptr},
        {u8"한글.bmp", nullptr},
        {"\xFF.bmp", nullptr},  // not UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        char listName[64] = "", back[64] = "";
        ASSERT_EQ(c.listName != nullptr, Utf8ToListName(c.utf8, listName));
        if (!c.listName) continue;
        EXPECT_STREQ(c.listName, listName);
        ASSERT_TRUE(ListNameToUtf8(listName, back));
        EXPECT_STREQ(c.utf8, back);
    }
    char out[64];
    EXPECT_FALSE(ListNameToUtf8("\x95.bmp", out));  // a lead byte without its second byte
    EXPECT_FALSE(Utf8ToListName(u8"表紙.bmp", out, 4));  // does not fit
}

TEST(TextEncoding, PathsCountAsShiftJisAndSplitAtEverySeparator) {
    // Out of the assertions: their texts go into messages in the Shift-JIS of
    // the Windows build, which cannot hold every character here.
    const char* japanese = u8"C:\\表示\\ｱ.jpg";
    const char* korean = u8"C:\\한글\\a.jpg";
    const char* cafe = u8"C:\\Café\\";
    const char* temporary = u8"C:\\Café\\~tv1.tmp";
    EXPECT_EQ(0u, ShiftJisLength(""));
    EXPECT_EQ(13u, ShiftJisLength(japanese));
    EXPECT_EQ(13u, ShiftJisLength(korean));  // no spelling: two bytes each
    EXPECT_EQ(9u, ShiftJisLength(cafe));
    std::string halfWidth;  // every half-width katakana, U+FF61 to U+FF9F: one byte each
    for (unsigned c = 0xFF61; c <= 0xFF9F; ++c)
        halfWidth += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                      static_cast<char>(0x80 | (c & 0x3F))};
    EXPECT_EQ(63u, ShiftJisLength(halfWidth.c_str()));
    // 0xE9 is a lead byte in Shift-JIS, never in a UTF-8 path.
    EXPECT_STREQ("~tv1.tmp", PathNamePart(temporary));
    EXPECT_STREQ("a.jpg", PathNamePart(korean));
    EXPECT_STREQ("a.jpg", PathNamePart("C:a.jpg"));
    const char* upper = u8"C:\\あA.JPG";
    const char* lower = u8"c:\\あa.jpg";
    const char* wideUpper = u8"Ａ.jpg";
    const char* wideLower = u8"ａ.jpg";
    EXPECT_TRUE(SamePathIgnoringCase(upper, lower));
    EXPECT_FALSE(SamePathIgnoringCase(wideUpper, wideLower));  // full-width: for the file system to say
}

}  // namespace
