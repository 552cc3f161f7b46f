#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pair_list.h"
#include "test_images.h"

namespace {

class PairListFile : public ::testing::Test {
protected:
    TempFolder folder;
    PairEntry entries[200];

    void SetUp() override {
        for (PairEntry& e : entries) {
            strcpy(e.jpgName, "stale.jpg");
            strcpy(e.bmpName, "stale.bmp");
        }
    }
    int Read(const std::string& text, int capacity = 200, ListFormat* format = nullptr, const char* mode = "r") {
        std::string path = folder / "tvfile.txt";
        EXPECT_TRUE(WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
        FILE* f = fopen(path.c_str(), mode);  // text mode, as the programs open it, unless told
        EXPECT_NE(nullptr, f);
        int count = ReadPairListFile(f, entries, capacity, nullptr, format);
        fclose(f);
        return count;
    }
    std::string Written(const PairEntry* list, int count) {
        std::string path = folder / "out.txt";
        EXPECT_TRUE(SavePairListFile(path.c_str(), list, count));
        std::vector<uint8_t> bytes = ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
};

PairEntry Entry(const char* jpg, const char* bmp) {
    PairEntry e = {};
    strcpy(e.jpgName, jpg);
    strcpy(e.bmpName, bmp);
    return e;
}

TEST_F(PairListFile, WritesCountAndNamesWithCrLf) {
    PairEntry list[] = {Entry("a.jpg", "a.bmp"), Entry("b.jpg", "other.bmp")};
    EXPECT_EQ("2\r\na.jpg\r\na.bmp\r\nb.jpg\r\nother.bmp\r\n", Written(list, 2));
    EXPECT_EQ("0\r\n", Written(list, 0));
}

TEST_F(PairListFile, RoundTripKeepsNamesOrderAndFullSixtyByteNames) {
    std::string sixty(60, 'n');
    sixty.replace(55, 5, ".jpeg");
    PairEntry list[] = {Entry("photo.jpg", "photo.bmp"), Entry(sixty.c_str(), "\x95\x5C.bmp"), Entry("z.jpg", "z.bmp")};
    EXPECT_EQ(3, Read(Written(list, 3)));
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(list[i].jpgName, entries[i].jpgName);
        EXPECT_STREQ(list[i].bmpName, entries[i].bmpName);
    }
    EXPECT_STREQ("stale.jpg", entries[3].jpgName) << "entries past the count are not touched";
    EXPECT_EQ(0, Read(Written(list, 0)));
}

TEST_F(PairListFile, CountIsADecimalNumberTruncatedAndClamped) {
    const std::string pairs = " a b c d e f g h";
    struct Case {
        const char* count;
        int capacity;
        int expected;
    } cases[] = {
        {"3", 200, 3},   {"3.9", 200, 3}, {"3e0", 200, 3},  {"2.7", 200, 2},   {"+2", 200, 2},  {"30e-1", 200, 3},
        {"3abc", 200, 3}, {"0x10", 200, 0}, {"abc", 200, 0}, {"inf", 200, 0},  {"nan", 200, 0}, {".5e1", 200, 5},
        {"-1", 200, 0},  {"-0.5", 200, 0}, {"4e", 200, 4},  {"250", 200, 200}, {"101", 100, 100},
        {"1e999", 100, 100}, {"99999999999999999999999", 100, 100},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, Read(c.count + pairs, c.capacity)) << c.count;
}

// The restorer reads only what the programs write; the workbench's open
// reads the count as above whatever the format says.
TEST_F(PairListFile, FormatIsToldApartFromTextThatOnlyLooksLikeAList) {
    const std::string entry = "\r\na.jpg\r\na.bmp\r\n";
    const struct {
        std::string text;
        ListFormat format;
    } cases[] = {
        {"1" + entry, kListInFormat},
        {" \t0001 \r\n a.jpg a.bmp", kListInFormat},
        {"0\r\n", kListInFormat},
        {"200" + entry, kListFewerNamesThanCount},
        {"", kListNoCount},
        {" \r\n", kListNoCount},
        {"\xEF\xBB\xBF" "1" + entry, kListByteOrderMark},
        {std::string("\xFF\xFE" "1\0\r\0\n\0", 8), kListWideText},
        {std::string("1\0\r\0\n\0a\0", 8), kListWideText},
        {"0x2" + entry, kListCountNotDecimal},
        {"nan" + entry, kListCountNotDecimal},
        {"+1" + entry, kListCountNotDecimal},
        {"1.0" + entry, kListCountNotDecimal},
        {"00000000000000000001" + entry, kListCountNotDecimal},
        {"0" + entry, kListMoreNamesThanCount},
        {"1" + entry + "b.jpg b.bmp", kListMoreNamesThanCount},
        {"2" + entry, kListFewerNamesThanCount},
        {"2" + entry + "b.jpg\r\n", kListFewerNamesThanCount},
        {"2" + entry + "\x1A" "b.jpg\r\nb.bmp\r\n", kListFewerNamesThanCount},
        {"1\r\n" + std::string(255, 'x') + " a.bmp", kListInFormat},
        {"1\r\n" + std::string(256, 'x') + " a.bmp", kListNameTooLong},
    };
    for (const auto& c : cases) {
        ListFormat format = kListInFormat;
        Read(c.text, 200, &format);
        EXPECT_EQ(c.format, format) << c.text;
    }
}

// The end-of-text byte ends a list read in binary mode too, as tolvpack
// reads it on every platform.
TEST_F(PairListFile, EndOfTextByteEndsTheFileInBinaryMode) {
    EXPECT_EQ(3, Read("3\r\na\r\nb\r\nb.jpg\r\nb.bmp\x1A\r\nc.jpg\r\nc.bmp\r\n", 200, nullptr, "rb"));
    EXPECT_STREQ("b.bmp", entries[1].bmpName);
    EXPECT_STREQ("", entries[2].jpgName);
    EXPECT_STREQ("", entries[2].bmpName);
}

TEST_F(PairListFile, FileWithoutAnyTokenHasNoEntries) {
    EXPECT_EQ(0, Read(""));
    EXPECT_EQ(0, Read(" \r\n\t\r\n"));
    EXPECT_STREQ("stale.jpg", entries[0].jpgName);
}

TEST_F(PairListFile, BlanksAndEmptyLinesShiftLaterNames) {
    EXPECT_EQ(2, Read("2\r\nmy photo.jpg\r\nmy photo.bmp\r\n\r\nb.jpg\r\n"));
    EXPECT_STREQ("my", entries[0].jpgName);
    EXPECT_STREQ("photo.jpg", entries[0].bmpName);
    EXPECT_STREQ("my", entries[1].jpgName);
    EXPECT_STREQ("photo.bmp", entries[1].bmpName);
}

TEST_F(PairListFile, OverlongNameIsConsumedWholeAndNeverStoredCut) {
    std::string sixtyOne(61, 'x');
    EXPECT_EQ(2, Read("2\r\n" + sixtyOne + "\r\na.bmp\r\nb.jpg\r\nb.bmp\r\n"));
    EXPECT_STREQ("", entries[0].jpgName);
    EXPECT_STREQ("a.bmp", entries[0].bmpName);
    EXPECT_STREQ("b.jpg", entries[1].jpgName) << "later tokens do not shift";
    EXPECT_STREQ("b.bmp", entries[1].bmpName);
}

TEST_F(PairListFile, FileEndingEarlyLeavesNoStaleOrInventedNames) {
    EXPECT_EQ(3, Read("3\r\na.jpg\r\na.bmp\r\nb.jpg\r\n"));
    EXPECT_STREQ("a.bmp", entries[0].bmpName);
    EXPECT_STREQ("b.jpg", entries[1].jpgName);
    EXPECT_STREQ("", entries[1].bmpName);
    EXPECT_STREQ("", entries[2].jpgName);
    EXPECT_STREQ("", entries[2].bmpName);
    EXPECT_STREQ("stale.jpg", entries[3].jpgName);
}

TEST_F(PairListFile, LongCountTokenDoesNotShiftTheNames) {
    EXPECT_EQ(1, Read("1.0000000000000000000000000001\r\na.jpg\r\na.bmp\r\n"));
    EXPECT_STREQ("a.jpg", entries[0].jpgName);
    EXPECT_STREQ("a.bmp", entries[0].bmpName);
}

}  // namespace
