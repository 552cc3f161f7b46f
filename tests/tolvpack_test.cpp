// tolvpack's commands in process, on folders with Japanese names, in both
// builds: the list bytes expected here are the same on Linux (UTF-8 names
// on disk) and under Wine (wide names), so both builds write one list.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "convert.h"
#include "file_io.h"
#include "installer_bytes.h"
#include "picture_quality.h"
#include "test_images.h"
#include "tolvpack.h"
#ifdef _WIN32
#include "win_process.h"
#else
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace {

// ｂａｃｋ in ASCII sorts first; ａｂ (full-width, 82 81 82 82) before 表紙
// (95 5C 8E 86) in Shift-JIS although UTF-8 orders them the other way;
// 表 ends in the byte of the path separator.
const char* const kNames[] = {u8"back.BMP", u8"表紙.bmp", u8"ａｂ.bmp"};
const char kList[] =
    "3\r\nback.jpg\r\nback.BMP\r\n\x82\x81\x82\x82.jpg\r\n\x82\x81\x82\x82.bmp\r\n\x95\x5C\x8E\x86.jpg\r\n"
    "\x95\x5C\x8E\x86.bmp\r\n";

// A UTF-8 file name as this platform's narrow file functions spell it.
std::string Native(const std::string& utf8) {
#ifdef _WIN32
    wchar_t wide[MAX_PATH];
    char narrow[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, MAX_PATH);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, MAX_PATH, nullptr, nullptr);
    return narrow;
#else
    return utf8;
#endif
}

// Files by any name, also one the narrow functions cannot spell.
FILE* OpenNamed(const std::filesystem::path& path, bool writing) {
#ifdef _WIN32
    return _wfopen(path.wstring().c_str(), writing ? L"wb" : L"rb");
#else
    return fopen(path.c_str(), writing ? "wb" : "rb");
#endif
}

void WriteNamed(const std::string& folder, const std::string& utf8Name, const std::vector<uint8_t>& bytes) {
    FILE* file = OpenNamed(std::filesystem::u8path(folder) / std::filesystem::u8path(utf8Name), true);
    ASSERT_NE(nullptr, file);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

int RunCommand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tolvpack");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(&a[0]);
    return RunTolvpack(static_cast<int>(argv.size()), argv.data());
}

// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder))) {
        std::vector<uint8_t>& bytes = files[entry.path().filename().u8string()];
        if (FILE* file = OpenNamed(entry.path(), false)) {
            for (int c; (c = fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
            fclose(file);
        }
    }
    return files;
}

class Tolvpack : public ::testing::Test {
protected:
    TempFolder folder;
    void WritePictures(const std::string& where) {
        int width = 37;
        for (const char* name : kNames)
            WriteNamed(where, name, EncodePlainBmp(MakeSmoothPicture(width++, 21, 3)));
    }
};

struct Settings {
    std::vector<std::string> switches;
    int quality;
    int progressive;
};

TEST_F(Tolvpack, PackCheckRestoreRoundTripsJapaneseNamesWithTheFolderCommandsBytes) {
    const Settings table[] = {{{}, 100, 0}, {{"-q", "75", "--progressive"}, 75, 1}};
    for (const Settings& settings : table) {
        SCOPED_TRACE(settings.quality);
        TempFolder pictures;
        WritePictures(pictures.Path());
        std::vector<std::string> pack = {"pack", "-j", "2"};
        pack.insert(pack.end(), settings.switches.begin(), settings.switches.end());
        pack.push_back(pictures.Path());
        ASSERT_EQ(0, RunCommand(pack));
        EXPECT_EQ(kList, Text(ReadBytes(pictures / "tvfile.txt")));

        std::vector<Pixels> decoded;
        for (const char* name : kNames) {
            std::string bmp = pictures / Native(name), jpg = bmp.substr(0, bmp.size() - 3) + "jpg";
            std::string made = folder / "made.jpg";
            ASSERT_EQ(1, ConvertBmpToJpg(CodecPath(made).c_str(), CodecPath(bmp).c_str(), settings.quality,
                                         settings.progressive));
            EXPECT_EQ(ReadBytes(made), ReadBytes(jpg)) << name;
            decoded.push_back(LoadJpegPixels(jpg));
            remove(bmp.c_str());
        }
        EXPECT_EQ(0, RunCommand({"check", pictures.Path()}));
        EXPECT_EQ(0, RunCommand({"restore", pictures.Path()}));
        // The BMPs under their own names, the decode of their JPEGs; the
        // JPEGs and the list gone.
        EXPECT_EQ(3u, Snapshot(pictures.Path()).size());
        for (size_t i = 0; i < decoded.size(); ++i)
            EXPECT_EQ(0, MaxDifference(decoded[i], LoadBmpPixels(pictures / Native(kNames[i])))) << kNames[i];
    }
}

// What the restore keeps stays under the real names, and nothing else is left.
TEST_F(Tolvpack, RestoreKeepsTheJpegAndTheEntryItCouldNotRestore) {
    WritePictures(folder.Path());
    ASSERT_EQ(0, RunCommand({"pack", folder.Path()}));
    std::string damaged = folder / Native(u8"表紙.jpg");
    std::vector<uint8_t> cut = ReadBytes(damaged);
    cut.resize(cut.size() / 2);
    ASSERT_TRUE(WriteBytes(damaged, cut));
    for (const char* name : kNames) remove((folder / Native(name)).c_str());

    EXPECT_EQ(1, RunCommand({"restore", folder.Path()}));
    auto left = Snapshot(folder.Path());
    EXPECT_EQ(4u, left.size());
    EXPECT_EQ(cut, left[u8"表紙.jpg"]);
    EXPECT_EQ("1\r\n\x95\x5C\x8E\x86.jpg\r\n\x95\x5C\x8E\x86.bmp\r\n", Text(left["tvfile.txt"]));
    EXPECT_EQ(1u, left.count("back.BMP"));
    EXPECT_EQ(1u, left.count(u8"ａｂ.bmp"));
}

TEST_F(Tolvpack, PackWithOutLeavesTheSourceAsItWasAndNamesWhatItLeftOut) {
    std::string source = folder / "source", out = folder / "made" + kSeparator + "pictures";
    std::filesystem::create_directory(source);
    WritePictures(source);
    std::vector<uint8_t> bmp = EncodePlainBmp(MakePicture(8, 8, 3));
    WriteNamed(source, u8"with blank.bmp", bmp);
    // No Shift-JIS spelling: 雪☃, and look-alikes that code page 932 reads
    // back as other characters (〜 as ～, − as －, — as ―).
    const std::string unspelt[] = {u8"雪☃.bmp", u8"波〜.bmp", u8"価格−割引.bmp", u8"題名—副題.bmp"};
    for (const std::string& name : unspelt) WriteNamed(source, name, bmp);
    WriteNamed(source, "notes.txt", {'x'});
    // Not pictures the codec reads: each named with the codec's reason.
    WriteNamed(source, "notes.bmp", {'n', 'o', 't', 'e', 's'});
    std::vector<uint8_t> cut = bmp;
    cut.resize(100);
    WriteNamed(source, "cut.bmp", cut);
    auto before = Snapshot(source);

    testing::internal::CaptureStderr();
    int exitCode = RunCommand({"pack", "--out", out, source});
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, exitCode);
    EXPECT_NE(std::string::npos, errors.find(u8"with blank.bmp: name holds a blank")) << errors;
    for (const std::string& name : unspelt)
        EXPECT_NE(std::string::npos, errors.find(name + ": no Shift-JIS spelling")) << errors;
    EXPECT_NE(std::string::npos, errors.find("notes.bmp: cannot convert: not a BMP or JPEG picture")) << errors;
    EXPECT_NE(std::string::npos, errors.find("cut.bmp: cannot convert: truncated at byte 100")) << errors;
    EXPECT_EQ(before, Snapshot(source));
    EXPECT_EQ(kList, Text(ReadBytes(out + kSeparator + "tvfile.txt")));
    EXPECT_EQ(4u, Snapshot(out).size());
}

TEST_F(Tolvpack, RestoreOntoAFolderKeepsTheJpeg) {
    WritePictures(folder.Path());
    ASSERT_EQ(0, RunCommand({"pack", folder.Path()}));
    for (const char* name : kNames) remove((folder / Native(name)).c_str());
    std::filesystem::create_directory(std::filesystem::u8path(folder / "back.BMP"));
    std::vector<uint8_t> jpeg = ReadBytes(folder / "back.jpg");

    EXPECT_EQ(1, RunCommand({"restore", folder.Path()}));
    EXPECT_EQ(jpeg, ReadBytes(folder / "back.jpg"));
    EXPECT_EQ("1\r\nback.jpg\r\nback.BMP\r\n", Text(ReadBytes(folder / "tvfile.txt")));
    EXPECT_EQ(5u, Snapshot(folder.Path()).size());  // the folder, its JPEG, the list, the other two BMPs
}

#ifndef _WIN32
// A subfolder or a file of the list that is a symbolic link may lead out of
// the folder: nothing is written or deleted through it, and check fails it.
// The folder itself may be reached through one.
TEST_F(Tolvpack, NothingIsWrittenOrDeletedThroughALinkBelowTheFolder) {
    TempFolder outside;
    ASSERT_TRUE(SaveJpeg(outside / "victim.jpg", MakePicture(16, 16, 3), 90));
    ASSERT_TRUE(WriteBytes(outside / "important.doc", {'d', 'o', 'c'}));
    const auto before = Snapshot(outside.Path());
    std::filesystem::create_directory_symlink(outside.Path(), folder / "sub");
    std::filesystem::create_symlink(outside / "victim.jpg", folder / "victim.jpg");
    std::filesystem::create_symlink(outside / "important.doc", folder / "important.bmp");
    ASSERT_TRUE(SaveJpeg(folder / "a.jpg", MakePicture(16, 16, 3), 90));
    auto writeList = [&](const std::string& list) {
        return WriteBytes(folder / "tvfile.txt", std::vector<uint8_t>(list.begin(), list.end()));
    };
    for (const char* list : {"1\r\nsub/victim.jpg\r\nsub/important.doc\r\n", "1\r\nvictim.jpg\r\nvictim.bmp\r\n",
                             "1\r\na.jpg\r\nimportant.bmp\r\n"}) {
        SCOPED_TRACE(list);
        ASSERT_TRUE(writeList(list));
        testing::internal::CaptureStdout();
        EXPECT_EQ(1, RunCommand({"check", folder.Path()}));
        EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("passes through a link"));
        EXPECT_EQ(1, RunCommand({"restore", folder.Path()}));
        EXPECT_EQ(before, Snapshot(outside.Path()));
    }
    ASSERT_TRUE(writeList("1\r\na.jpg\r\na.bmp\r\n"));
    std::filesystem::create_directory_symlink(folder.Path(), folder / "link");
    EXPECT_EQ(0, RunCommand({"restore", folder / "link"}));
    EXPECT_TRUE(FileExists(folder / "a.bmp") && !FileExists(folder / "a.jpg"));
}
#endif

struct CheckCase {
    const char* what;
    const char* list;  // empty: the list pack wrote
    const char* removed;
    std::vector<std::string> switches;
    int exitCode;
    const char* said;
};

TEST_F(Tolvpack, CheckReportsEveryEntryThatWouldNotBeRestoredOrFallsShort) {
    std::string many = "201\r\n";
    for (int i = 0; i < 201; ++i) many += "back.jpg\r\nb" + std::to_string(i) + ".bmp\r\n";
    const CheckCase table[] = {
        {"a whole list", "", nullptr, {"--min-psnr", "35"}, 0, "3 entries: 3 ok"},
        {"a missing JPEG", "", "back.jpg", {}, 1, "back.jpg -> back.BMP: no such JPEG"},
        {"a BMP name spelling the list file", "1\r\nback.jpg\r\nTVFILE.TXT\r\n", nullptr, {}, 1,
         "would overwrite the list file"},
        {"201 entries", many.c_str(), nullptr, {}, 1, "more than 200 entries"},
        {"a PSNR below the minimum", "", nullptr, {"--min-psnr", "80"}, 1, "below --min-psnr "},
    };
    for (const CheckCase& c : table) {
        SCOPED_TRACE(c.what);
        TempFolder pictures;
        WritePictures(pictures.Path());
        ASSERT_EQ(0, RunCommand({"pack", pictures.Path()}));
        std::vector<uint8_t> list(c.list, c.list + strlen(c.list));
        if (!list.empty()) {
            ASSERT_TRUE(WriteBytes(pictures / "tvfile.txt", list));
        }
        if (c.removed) remove((pictures / c.removed).c_str());
        std::vector<std::string> check = {"check"};
        check.insert(check.end(), c.switches.begin(), c.switches.end());
        check.push_back(pictures.Path());
        testing::internal::CaptureStdout();
        int exitCode = RunCommand(check);
        std::string report = testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.exitCode, exitCode) << report;
        EXPECT_NE(std::string::npos, report.find(c.said)) << report;
    }
}

// A list the restorer would refuse whole is reported as such, with its cause.
TEST_F(Tolvpack, CheckNamesWhyAListIsNotOne) {
    const struct {
        std::string list;
        const char* cause;
    } table[] = {
        {"\xEF\xBB\xBF" "1\r\nback.jpg\r\nback.BMP\r\n", "byte order mark"},
        {std::string("\xFF\xFE" "1\0\r\0\n\0", 8), "UTF-16"},
        {"0x1\r\nback.jpg\r\nback.BMP\r\n", "not decimal digits"},
        {"0\r\nback.jpg\r\nback.BMP\r\n", "more names follow than the count allows"},
        {"2\r\nback.jpg\r\nback.BMP\r\n", "the names end before the count is reached"},
    };
    for (const auto& c : table) {
        ASSERT_TRUE(WriteBytes(folder / "tvfile.txt", std::vector<uint8_t>(c.list.begin(), c.list.end())));
        testing::internal::CaptureStderr();
        int exitCode = RunCommand({"check", folder.Path()});
        std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(2, exitCode) << c.cause;
        EXPECT_NE(std::string::npos, errors.find(c.cause)) << errors;
    }
}

// Each mistake is named in the tool's own words, with what to do instead.
TEST_F(Tolvpack, UsageErrorsExitWithTwo) {
    // A source with a file pack leaves alone, its folder packed with -o (no
    // BMP beside the JPEGs), one packed with a cut JPEG, an empty folder.
    TempFolder places;
    const std::string art = places / "art", packed = places / "packed", cut = places / "cut",
                      empty = places / "empty", nosuch = places / "nosuch", file = art + kSeparator + "back.BMP";
    for (const std::string& made : {art, empty}) std::filesystem::create_directory(made);
    WritePictures(art);
    ASSERT_TRUE(WriteBytes(art + kSeparator + "notes.txt", {'x'}));
    testing::internal::CaptureStdout();
    ASSERT_EQ(0, RunCommand({"pack", "--all-jpeg", "-o", packed, art}));
    std::string summary = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, summary.find("1 other file not packed (only .bmp files are): notes.txt")) << summary;
    ASSERT_EQ(0, RunCommand({"pack", "--quiet", "--all-jpeg", "-o", cut, art}));
    std::vector<uint8_t> jpeg = ReadBytes(cut + kSeparator + "back.jpg");
    jpeg.resize(jpeg.size() / 2);
    ASSERT_TRUE(WriteBytes(cut + kSeparator + "back.jpg", jpeg));
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::vector<std::string> said;
    } table[] = {
        {{}, 2, {"a command is missing: pack, check or restore", "Run 'tolvpack --help'"}},
        {{"unpack", "x"}, 2, {"'unpack' is not a command (did you mean 'pack'?)"}},
        {{"chek", packed}, 2, {"did you mean 'check'?"}},
        {{"--quality", "90", "pack", art}, 2, {"--quality comes before the command"}},
        {{"pack"}, 2, {"pack needs the folder of BMP files", "Run 'tolvpack pack --help'"}},
        {{"pack", "-q"}, 2, {"--quality needs a value"}},
        {{"pack", "-q", "0", "x"}, 2, {"--quality 0: not a whole number from 1 to 100", "'tolvpack pack --help'"}},
        {{"pack", "--quality", "0x50", "x"}, 2, {"--quality 0x50: not a whole number"}},
        {{"pack", "-j", "1e1", "x"}, 2, {"--jobs 1e1: not a whole number"}},
        {{"pack", "--target-psnr", "-3", "x"}, 2, {"--target-psnr -3: not a number of decibels"}},
        {{"pack", "--qualty", "90", art}, 2, {"--qualty: not an option of pack (did you mean '--quality'?)"}},
        {{"pack", "--qual", "90", art}, 2, {"did you mean '--quality'?"}},
        {{"check", "--quality", "90", packed}, 2, {"--quality: an option of pack, not of check", "'tolvpack check --help'"}},
        {{"pack", file, art + kSeparator + "notes.txt"}, 2,
         {"pack takes one folder, not 2 names", "give the folder, not its files, as in 'tolvpack pack " + art + "'"}},
        {{"pack", art, empty}, 2, {"pack takes one folder, not 2", "run it once for each"}},
        {{"pack", file}, 2, {"back.BMP: not a folder: give the folder that holds it (" + art + ")"}},
        {{"pack", nosuch}, 2, {"nosuch: no such folder"}},
        {{"pack", empty}, 1, {"no BMP files in the folder"}},
        {{"check", "--min-psnr", "high", packed}, 2, {"--min-psnr high: not a number of decibels"}},
        {{"check", "--bmp-from", nosuch, packed}, 2, {"--bmp-from: no such folder"}},
        {{"check", "--min-psnr", "36", packed}, 2, {"no original BMP in", "give --bmp-from FOLDER", "'tolvpack check --help'"}},
        {{"check", nosuch}, 2, {"nosuch: no such folder"}},
        {{"check", empty}, 2, {"no tvfile.txt here", "tolvpack pack -o"}},
        {{"restore", nosuch}, 2, {"nosuch: no such folder"}},
        {{"restore", empty}, 2, {"tvfile.txt: no such file: nothing to restore"}},
        {{"restore", cut}, 1, {"back.jpg: not restored: the JPEG does not decode: truncated at byte"}},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.arguments.empty() ? "(nothing)" : c.arguments[0] + " " + c.arguments.back());
        testing::internal::CaptureStderr();
        int exitCode = RunCommand(c.arguments);
        std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(c.exitCode, exitCode) << errors;
        EXPECT_EQ(0u, errors.find("tolvpack: ")) << errors;
        for (const std::string& words : c.said) EXPECT_NE(std::string::npos, errors.find(words)) << errors;
    }
    // The version after a command too.
    for (const char* flag : {"-V", "--version"}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(0, RunCommand({"check", flag, packed}));
        EXPECT_EQ(0u, testing::internal::GetCapturedStdout().find("tolvpack (Tolvane) "));
    }
    EXPECT_EQ(2, RunCommand({"restore", folder / "nothing"}));  // no list to read
    // Leading zeros are still decimal; the help fits 80 columns and shows an example.
    WritePictures(folder.Path());
    EXPECT_EQ(0, RunCommand({"pack", "--quiet", "-q", "090", folder.Path()}));
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, RunCommand({"pack", "--help"}));
    std::string help = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, help.find("Examples:")) << help;
    for (size_t start = 0, end; (end = help.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
}

// The restore rehearsed: a JPEG that would not decode fails the check even
// without the original BMPs, and is named on standard error.
TEST_F(Tolvpack, CheckDecodesEveryJpegAsTheRestoreWould) {
    WritePictures(folder.Path());
    ASSERT_EQ(0, RunCommand({"pack", "--quiet", folder.Path()}));
    for (const char* name : kNames) remove((folder / Native(name)).c_str());
    ASSERT_TRUE(WriteBytes(folder / "back.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'}));
    std::vector<uint8_t> cut = ReadBytes(folder / Native(u8"ａｂ.jpg"));
    cut.resize(cut.size() / 3);
    ASSERT_TRUE(WriteBytes(folder / Native(u8"ａｂ.jpg"), cut));

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    int exitCode = RunCommand({"check", folder.Path()});
    std::string report = testing::internal::GetCapturedStdout();
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, exitCode);
    EXPECT_NE(std::string::npos, errors.find("back.jpg: would not restore: the JPEG does not decode")) << errors;
    EXPECT_NE(std::string::npos, errors.find(Native(u8"ａｂ.jpg") + ": would not restore")) << errors;
    EXPECT_NE(std::string::npos, report.find("3 entries: 1 ok, 2 would not restore")) << report;
}

// PSNR at exactly the threshold passes: a black 10x10 JPEG against a BMP
// with one white pixel is 10 log10(100) = 20 dB.
TEST_F(Tolvpack, MinimumPsnrIsReachedAtExactlyTheThreshold) {
    Pixels black;
    black.width = black.height = 10;
    black.data.assign(300, 0);
    ASSERT_TRUE(SaveJpeg(folder / "b.jpg", black, 90));
    ASSERT_EQ(0, MaxDifference(black, LoadJpegPixels(folder / "b.jpg")));
    Pixels one = black;
    one.data[0] = one.data[1] = one.data[2] = 255;
    ASSERT_TRUE(WriteBytes(folder / "b.bmp", EncodePlainBmp(one)));
    ASSERT_TRUE(WriteBytes(folder / "tvfile.txt", {'1', '\r', '\n', 'b', '.', 'j', 'p', 'g', '\r', '\n', 'b', '.', 'b',
                                                   'm', 'p', '\r', '\n'}));
    EXPECT_EQ(0, RunCommand({"check", "--quiet", "--min-psnr", "20", folder.Path()}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, RunCommand({"check", "--quiet", "--min-psnr", "20.01", folder.Path()}));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("b.jpg: below --min-psnr: PSNR 20.00 dB"));
    // Equal pixels are told as such, and a JPEG larger than its BMP by how much.
    ASSERT_TRUE(WriteBytes(folder / "b.bmp", EncodePlainBmp(black)));
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, RunCommand({"check", folder.Path()}));
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, said.find("b.jpg -> b.bmp: identical pixels, larger than its BMP by ")) << said;
    EXPECT_EQ(std::string::npos, said.find("inf")) << said;
}

// A JPEG the new list does not name would ship with it: reported, and
// removed with --clean.
TEST_F(Tolvpack, PackNamesStaleJpegsAndCleanRemovesThem) {
    WritePictures(folder.Path());
    ASSERT_EQ(0, RunCommand({"pack", "--quiet", folder.Path()}));
    remove((folder / "back.BMP").c_str());
    ASSERT_TRUE(WriteBytes(folder / "OLD.JPG", {'o', 'l', 'd'}));  // an installer takes it in any case
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, RunCommand({"pack", "--quiet", folder.Path()}));
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, errors.find("back.jpg: not in the new list")) << errors;
    EXPECT_NE(std::string::npos, errors.find("OLD.JPG: not in the new list")) << errors;
    EXPECT_TRUE(FileExists(folder / "back.jpg"));
    EXPECT_EQ(0, RunCommand({"pack", "--quiet", "--clean", folder.Path()}));
    EXPECT_FALSE(FileExists(folder / "back.jpg"));
}

// Each picture at the lowest quality that reaches the target: every one
// reaches it, in fewer bytes than the one quality that serves them all.
TEST_F(Tolvpack, TargetPsnrReachesItWithFewerBytesThanOneQuality) {
    std::string source = folder / "bmp", chosen = folder / "chosen", fixed = folder / "fixed";
    std::filesystem::create_directory(source);
    WriteNamed(source, "smooth.bmp", EncodePlainBmp(MakeSmoothPicture(96, 64, 3)));
    Pixels tiles = MakeSmoothPicture(96, 64, 3);  // a screen: flat tiles with sharp edges
    for (int y = 0; y < tiles.height; ++y)
        for (int x = 0; x < tiles.width; ++x)
            if ((x / 16 + y / 16) % 2) tiles.At(x, y)[0] = tiles.At(x, y)[1] = tiles.At(x, y)[2] = 240;
    WriteNamed(source, "busy.bmp", EncodePlainBmp(tiles));
    WriteNamed(source, "grey.bmp", EncodePlainBmp(MakeSmoothPicture(64, 64, 1)));
    testing::internal::CaptureStdout();
    int exitCode = RunCommand({"pack", "--target-psnr", "32", "-o", chosen, source});
    std::string report = testing::internal::GetCapturedStdout();
    ASSERT_EQ(0, exitCode) << report;
    EXPECT_EQ(0, RunCommand({"check", "--quiet", "--bmp-from", source, "--min-psnr", "32", chosen}));
    int highest = 0;
    for (size_t at = 0; (at = report.find("quality ", at)) != std::string::npos; at += 8)
        highest = std::max(highest, atoi(report.c_str() + at + 8));
    ASSERT_GT(highest, 0) << report;
    ASSERT_EQ(0, RunCommand({"pack", "--quiet", "-q", std::to_string(highest), "-o", fixed, source}));
    int64_t chosenBytes = 0, fixedBytes = 0;
    for (const char* name : {"smooth.jpg", "busy.jpg", "grey.jpg"}) {
        chosenBytes += static_cast<int64_t>(ReadBytes(chosen + kSeparator + name).size());
        fixedBytes += static_cast<int64_t>(ReadBytes(fixed + kSeparator + name).size());
    }
    EXPECT_LT(chosenBytes, fixedBytes) << report;

    // A target no quality reaches fails the pack, and says so.
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, RunCommand({"pack", "--quiet", "--target-psnr", "99", "-o", folder / "never", source}));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("short of --target-psnr even at quality 100"));
}

// The words and counts a script reads from --json.
TEST_F(Tolvpack, JsonNamesEachStatusAndCountsWhatWasLeftOut) {
    WritePictures(folder.Path());
    std::vector<uint8_t> cut = EncodePlainBmp(MakePicture(8, 8, 3));
    cut.resize(100);
    WriteNamed(folder.Path(), "cut.bmp", cut);
    const struct {
        std::vector<std::string> arguments;
        const char* removed;  // before the command
        std::string said;
    } table[] = {
        {{"pack", "--json"}, nullptr, "\"left_out\": 1,"},
        {{"check", "--json", "--min-psnr", "80"}, nullptr, "\"bmp\": \"back.BMP\", \"status\": \"below_min_psnr\""},
        {{"check", "--json", "--min-psnr", "80"}, "back.BMP", "\"bmp\": \"back.BMP\", \"status\": \"not_compared\""},
        {{"check", "--json", "--min-psnr", "80"}, nullptr, "\"identical\": null}"},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.said);
        if (c.removed) remove((folder / c.removed).c_str());
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back(folder.Path());
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(1, RunCommand(arguments));
        std::string json = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, json.find(c.said)) << json;
    }
}

#ifndef _WIN32
// Refused at once, as the restorer refuses it: reading a FIFO would wait
// for a writer for ever.
TEST_F(Tolvpack, CheckRefusesAListThatIsNoPlainFile) {
    const struct {
        bool (*make)(const std::string& path);
        const char* said;
    } table[] = {
        {[](const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }, "not a regular file (a FIFO"},
        {[](const std::string& path) { return std::filesystem::create_directory(path); }, "a folder"},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.said);
        TempFolder pictures;
        ASSERT_TRUE(c.make(pictures / "tvfile.txt"));
        testing::internal::CaptureStderr();
        alarm(30);  // a check waiting on the FIFO ends the tests here instead of hanging
        int exitCode = RunCommand({"check", pictures.Path()});
        alarm(0);
        std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(2, exitCode);
        EXPECT_NE(std::string::npos, errors.find("tvfile.txt: " + std::string(c.said))) << errors;
    }
}

// On Linux both files can be there; on Windows they are one file.
TEST_F(Tolvpack, NamesDifferingInCaseMakeOneEntry) {
    std::vector<uint8_t> bmp = EncodePlainBmp(MakePicture(8, 8, 3));
    WriteNamed(folder.Path(), "a.bmp", bmp);
    WriteNamed(folder.Path(), "A.BMP", bmp);
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, RunCommand({"pack", "--quiet", "--all-jpeg", folder.Path()}));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("makes the same JPEG name"));
    EXPECT_EQ(0, Text(ReadBytes(folder / "tvfile.txt")).find("1\r\n"));
}

// The JSON report says what the text says.
TEST_F(Tolvpack, JsonReportParsesAndAgreesWithTheText) {
    WritePictures(folder.Path());
    ASSERT_EQ(0, RunCommand({"pack", "--quiet", folder.Path()}));
    remove((folder / "back.jpg").c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, RunCommand({"check", folder.Path()}));
    std::string text = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, RunCommand({"check", "--json", folder.Path()}));
    std::string json = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    std::string file = folder / "report.json";
    ASSERT_TRUE(WriteBytes(file, std::vector<uint8_t>(json.begin(), json.end())));
    std::string command = "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); t=d[\"totals\"]; "
                          "print(t[\"entries\"], t[\"ok\"], t[\"would_not_restore\"], d[\"passed\"], "
                          "d[\"entries\"][0][\"status\"])' " + file;
    FILE* python = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, python);
    char line[200] = "";
    ASSERT_NE(nullptr, fgets(line, sizeof line, python)) << json;
    pclose(python);
    EXPECT_STREQ("3 2 1 False would_not_restore\n", line) << json;
    EXPECT_NE(std::string::npos, text.find("3 entries: 2 ok, 1 would not restore")) << text;
}

bool HoldsLeftovers(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("~tv", 0) == 0 || name.rfind(".tolvpack", 0) == 0) return true;
    }
    return false;
}

// Starts tolvpack and sends it a signal once its first save has begun and
// the delay has passed; its wait status.
int StopWhileSaving(std::vector<std::string> arguments, const std::string& folder, int signal, int delayMicroseconds) {
    arguments.insert(arguments.begin(), "tolvpack");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        execv(TOLVPACK_PATH, argv.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!HoldsLeftovers(folder) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds));
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

bool EndedBy(int status, int signal) { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }

// Ctrl-C at several moments, also just as saves begin on other workers: the
// program ends as interrupted and every temporary file goes with it. What a
// killed pack leaves, the next pack into the folder removes.
TEST_F(Tolvpack, InterruptedCommandsLeaveNoTemporaryFiles) {
    for (int i = 0; i < 200; ++i)
        WriteNamed(folder.Path(), "p" + std::to_string(i) + ".bmp", EncodePlainBmp(MakeSmoothPicture(120, 90, 3)));
    // A save this small may end before the kill lands: killed again until one is left.
    for (int tries = 0; tries < 20 && !HoldsLeftovers(folder.Path()); ++tries)
        StopWhileSaving({"pack", "-j", "4", folder.Path()}, folder.Path(), SIGKILL, 0);
    ASSERT_TRUE(HoldsLeftovers(folder.Path()));
    EXPECT_EQ(0, RunCommand({"pack", "--quiet", "-q", "90", folder.Path()}));
    ASSERT_FALSE(HoldsLeftovers(folder.Path()));
    auto packed = Snapshot(folder.Path());
    EXPECT_TRUE(EndedBy(StopWhileSaving({"pack", "-j", "4", folder.Path()}, folder.Path(), SIGINT, 0), SIGINT));
    EXPECT_FALSE(HoldsLeftovers(folder.Path()));
    for (int delay : {0, 0, 0, 0, 100, 200, 400, 800}) {
        SCOPED_TRACE(delay);
        TempFolder trial;
        for (const auto& file : packed)
            if (file.first.find(".bmp") == std::string::npos) ASSERT_TRUE(WriteBytes(trial / file.first, file.second));
        EXPECT_TRUE(EndedBy(StopWhileSaving({"restore", "-j", "4", trial.Path()}, trial.Path(), SIGINT, delay), SIGINT));
        EXPECT_FALSE(HoldsLeftovers(trial.Path()));
    }
}
// A save that would begin after the stop's cleanup would be left behind.
TEST_F(Tolvpack, NothingIsSavedOnceAStopIsAskedFor) {
    WritePictures(folder.Path());
    EXPECT_EXIT(
        {
            RemoveUnfinishedSaves();
            RunCommand({"pack", "--quiet", folder.Path()});
            _exit(FileExists(folder / "back.jpg") || HoldsLeftovers(folder.Path()) ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}
#endif

#ifdef _WIN32
// tolvpack.exe itself, as a build script on Windows runs it.
TEST_F(Tolvpack, ProgramWritesTheSameListAsTheLinuxBuild) {
    WritePictures(folder.Path());
    RunResult result = RunProgram(TOLVPACK_PATH, "pack \"" + folder.Path() + "\"", folder.Path(), SW_HIDE);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_EQ(kList, Text(ReadBytes(folder / "tvfile.txt")));
}
#endif

// ---- What ships: each picture as a JPEG or as its BMP, in installer bytes.

// A BMP of bits 32 (BGRA from pixel) or 1 (index 0 or 1 from pixel, black
// and white), bottom-up, as paint programs save them.
std::vector<uint8_t> BmpOf(int width, int height, int bits, uint32_t (*pixel)(int x, int y)) {
    const int stride = (width * bits + 31) / 32 * 4, paletteBytes = bits == 1 ? 8 : 0;
    const uint32_t offset = 54 + paletteBytes, size = offset + static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> b(size);
    auto put = [&](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put(2, size, 4), put(10, offset, 4), put(14, 40, 4), put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4), put(26, 1, 2), put(28, static_cast<uint32_t>(bits), 2);
    if (bits == 1) put(54, 0, 4), put(58, 0xFFFFFF, 4), put(46, 2, 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            size_t row = offset + static_cast<size_t>(height - 1 - y) * stride;
            if (bits == 32) put(row + 4 * x, pixel(x, y), 4);
            else if (pixel(x, y)) b[row + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    return b;
}

// The number after "key": in a JSON document, from the given place on.
double JsonValue(const std::string& json, const std::string& key, size_t from = 0) {
    size_t at = json.find("\"" + key + "\": ", from);
    return at == std::string::npos ? NAN : strtod(json.c_str() + at + key.size() + 4, nullptr);
}

// The JSON document of a command, its exit code checked.
std::string JsonOf(std::vector<std::string> arguments, int exitCode) {
    arguments.push_back("--json");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int exited = RunCommand(arguments);
    std::string errors = testing::internal::GetCapturedStderr(), json = testing::internal::GetCapturedStdout();
    EXPECT_EQ(exitCode, exited) << arguments[0] << ": " << errors;
    return json;
}

// Pictures of the kinds installers carry: flat colours, text, an icon, a
// gradient, a photograph (grain everywhere).
void WriteSoftwarePictures(const std::string& where) {
    Pixels flat = MakePicture(240, 160, 3), text = flat, icon = MakePicture(48, 48, 3), photo = MakePicture(320, 240, 3);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x) {
            uint8_t* f = flat.At(x, y);
            f[0] = x < 80 ? 200 : 240, f[1] = y < 40 ? 120 : 240, f[2] = 240;
            bool ink = (y % 12 < 8) && ((x * 7 + y / 12 * 13) % 11 < 3) && x % 6 != 0;
            uint8_t* t = text.At(x, y);
            t[0] = t[1] = t[2] = ink ? 0 : 255;
        }
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            uint8_t* i = icon.At(x, y);
            bool disc = (x - 24) * (x - 24) + (y - 24) * (y - 24) < 18 * 18;
            i[0] = disc ? 255 : 0, i[1] = disc ? 0 : 40, i[2] = disc ? 0 : 255;
        }
    uint32_t grain = 12345;
    for (uint8_t& sample : photo.data) {
        grain = grain * 1103515245 + 12345;
        sample = static_cast<uint8_t>(std::min(255, sample / 2 + 40 + static_cast<int>(grain >> 27)));
    }
    WriteNamed(where, "flat.bmp", EncodePlainBmp(flat));
    WriteNamed(where, "text.bmp", EncodePlainBmp(text));
    WriteNamed(where, "icon.bmp", EncodePlainBmp(icon));
    WriteNamed(where, "gradient.bmp", EncodePlainBmp(MakeSmoothPicture(256, 128, 3)));
    WriteNamed(where, "photo.bmp", EncodePlainBmp(photo));
}

TEST_F(Tolvpack, EachPictureShipsAsWhatTheInstallerCarriesInFewerBytes) {
    TempFolder pictures, mixed, jpegs;
    WriteSoftwarePictures(pictures.Path());
    std::string packed = JsonOf({"pack", "-q", "92", "-o", mixed.Path(), pictures.Path()}, 0);
    std::string allJpeg = JsonOf({"pack", "-q", "92", "--all-jpeg", "-o", jpegs.Path(), pictures.Path()}, 0);
    double payload = JsonValue(packed, "payload_packed");
    EXPECT_LT(payload, JsonValue(allJpeg, "payload_packed")) << packed;
    EXPECT_LT(payload, JsonValue(packed, "payload_bmp_only")) << packed;
    EXPECT_TRUE(FileExists(mixed / "photo.jpg") && !FileExists(mixed / "photo.bmp"));
    EXPECT_GE(JsonValue(packed, "kept_bmps"), 2);
    // Every kept BMP ships byte for byte, and check says so; the restore
    // leaves every picture in place.
    std::string checked = JsonOf({"check", "--bmp-from", pictures.Path(), mixed.Path()}, 0);
    EXPECT_EQ(JsonValue(packed, "kept_bmps"), JsonValue(checked, "kept_identical")) << checked;
    EXPECT_EQ(0, RunCommand({"restore", "--quiet", mixed.Path()}));
    for (const char* name : {"flat.bmp", "text.bmp", "icon.bmp", "gradient.bmp", "photo.bmp"})
        EXPECT_TRUE(FileExists(mixed / name)) << name;

    // The restorer ships with the JPEGs: costing more than they save, it
    // makes every picture a BMP; costing a little less, it does not, though
    // the BMP was at first compressed only until it had lost.
    std::vector<uint8_t> bmp = ReadBytes(pictures / "photo.bmp");
    const double gain = InstallerBytes(bmp.data(), bmp.size(), kCompressLzma) -
                        JsonValue(packed, "jpeg_installer_bytes", packed.find("\"bmp\": \"photo.bmp\""));
    for (double share : {1.3, 0.9}) {
        std::vector<uint8_t> restorer(static_cast<size_t>(gain * share));  // noise: LZMA keeps its size
        uint32_t noise = 1;
        for (uint8_t& byte : restorer) byte = static_cast<uint8_t>((noise = noise * 1103515245 + 12345) >> 24);
        ASSERT_TRUE(WriteBytes(folder / "tolvinst.exe", restorer));
        TempFolder out;
        packed = JsonOf({"pack", "-q", "92", "--restorer", folder / "tolvinst.exe", "-o", out.Path(), pictures.Path()}, 0);
        EXPECT_EQ(share > 1, FileExists(out / "photo.bmp")) << share << packed;
        EXPECT_EQ(share > 1, !FileExists(out / "tvfile.txt")) << share;
    }
}

// A picture whose alpha is in use never becomes a JPEG; one that comes back
// in another form (1 bit here) says so, and with the size it will have.
TEST_F(Tolvpack, WhatCannotComeBackAsItWasIsNeverJustOk) {
    TempFolder pictures;
    WriteNamed(pictures.Path(), "alpha.bmp", BmpOf(40, 30, 32, [](int x, int y) { return (x + y) % 2 ? 0x80FF0000u : 0xFF00FF00u; }));
    WriteNamed(pictures.Path(), "mono.bmp", BmpOf(64, 48, 1, [](int x, int y) -> uint32_t { return (x / 3 + y / 5) % 2; }));
    std::string packed = JsonOf({"pack", "--all-jpeg", "-o", folder.Path(), pictures.Path()}, 0);
    EXPECT_TRUE(FileExists(folder / "alpha.bmp") && !FileExists(folder / "alpha.jpg")) << packed;
    EXPECT_NE(std::string::npos, packed.find("alpha channel is in use")) << packed;
    size_t mono = packed.find("\"bmp\": \"mono.bmp\"");
    EXPECT_NE(std::string::npos, packed.find("comes back as an 8-bit grey BMP of", mono)) << packed;
    std::string checked = JsonOf({"check", "--bmp-from", pictures.Path(), folder.Path()}, 0);
    EXPECT_NE(std::string::npos, checked.find("\"status\": \"other_form\"")) << checked;

    // Made into a JPEG all the same (as the workbench does), check fails it.
    ASSERT_EQ(1, ConvertBmpToJpg(CodecPath(folder / "alpha.jpg").c_str(), CodecPath(pictures / "alpha.bmp").c_str(), 90, 0));
    ASSERT_TRUE(WriteBytes(folder / "tvfile.txt", {'1', '\r', '\n', 'a', 'l', 'p', 'h', 'a', '.', 'j', 'p', 'g', '\r',
                                                  '\n', 'a', 'l', 'p', 'h', 'a', '.', 'b', 'm', 'p', '\r', '\n'}));
    remove((folder / "alpha.bmp").c_str());
    checked = JsonOf({"check", "--bmp-from", pictures.Path(), folder.Path()}, 1);
    EXPECT_NE(std::string::npos, checked.find("\"status\": \"loses_alpha\"")) << checked;
}

TEST_F(Tolvpack, FullResolutionColourKeepsAnIconsColouredEdges) {
    TempFolder pictures;
    WriteSoftwarePictures(pictures.Path());
    double psnr[2];
    const char* chroma[2] = {"420", "444"};
    for (int i = 0; i < 2; ++i) {
        TempFolder out;
        std::string packed = JsonOf({"pack", "-q", "92", "--all-jpeg", "--chroma", chroma[i], "-o", out.Path(), pictures.Path()}, 0);
        std::string checked = JsonOf({"check", "--bmp-from", pictures.Path(), out.Path()}, 0);
        psnr[i] = JsonValue(checked, "psnr_db", checked.find("\"bmp\": \"icon.bmp\""));
    }
    EXPECT_GT(psnr[1], psnr[0] + 3) << psnr[0] << " dB at 4:2:0";
}

// ---- Perceived quality: the score, the search on it, the encoder.

// Three pictures of other kinds, a little grain in each (not re-encodes of
// their own 8x8 grid).
void WritePhotoLikePictures(const std::string& where) {
    const int sizes[3][2] = {{160, 120}, {96, 128}, {200, 90}};
    uint32_t grain = 7;
    for (int i = 0; i < 3; ++i) {
        Pixels p = MakePicture(sizes[i][0], sizes[i][1], 3, i);
        for (uint8_t& sample : p.data) {
            grain = grain * 1103515245 + 12345;
            sample = static_cast<uint8_t>(std::min(255, sample * 3 / 4 + static_cast<int>(grain >> 26)));
        }
        WriteNamed(where, "p" + std::to_string(i) + ".bmp", EncodePlainBmp(p));
    }
}

TEST_F(Tolvpack, TargetQualityReachesItsScoreInFewerBytesThanOneQualityForAll) {
    TempFolder pictures, searched;
    WritePhotoLikePictures(pictures.Path());
    const double target = 70;
    // Full-resolution colour: at 4:2:0 these colourful pictures stay below 70.
    std::string packed = JsonOf(
        {"pack", "--all-jpeg", "--chroma", "444", "--target-quality", "70", "-o", searched.Path(), pictures.Path()}, 0);
    std::string checked = JsonOf({"check", "--bmp-from", pictures.Path(), searched.Path()}, 0);
    EXPECT_GE(JsonValue(checked, "lowest_ssimulacra2"), target) << checked;
    // The lowest single quality whose every picture reaches the target.
    int low = 1, high = 100;
    while (low < high) {
        int middle = (low + high) / 2;
        TempFolder fixed;
        JsonOf({"pack", "--all-jpeg", "--chroma", "444", "-q", std::to_string(middle), "-o", fixed.Path(), pictures.Path()},
               0);
        std::string scores = JsonOf({"check", "--bmp-from", pictures.Path(), fixed.Path()}, 0);
        if (JsonValue(scores, "lowest_ssimulacra2") >= target) high = middle;
        else low = middle + 1;
    }
    TempFolder fixed;
    std::string single = JsonOf(
        {"pack", "--all-jpeg", "--chroma", "444", "-q", std::to_string(high), "-o", fixed.Path(), pictures.Path()}, 0);
    EXPECT_LT(JsonValue(packed, "jpeg_bytes", packed.find("\"totals\"")),
              JsonValue(single, "jpeg_bytes", single.find("\"totals\"")))
        << "quality " << high << " for all";

    // --min-quality holds at the lowest score and fails just above it (the
    // JSON's score is rounded to 0.01).
    double lowest = JsonValue(checked, "lowest_ssimulacra2");
    char at[32], above[32];
    snprintf(at, sizeof at, "%.2f", lowest - 0.01);
    snprintf(above, sizeof above, "%.2f", lowest + 0.01);
    JsonOf({"check", "--bmp-from", pictures.Path(), "--min-quality", at, searched.Path()}, 0);
    std::string failed = JsonOf({"check", "--bmp-from", pictures.Path(), "--min-quality", above, searched.Path()}, 1);
    EXPECT_NE(std::string::npos, failed.find("\"status\": \"below_min_quality\"")) << failed;
}

// jpegli's files restore, with the restorer's own decoder, to exactly what
// check measured; --encoder libjpeg-turbo gives the workbench's bytes.
TEST_F(Tolvpack, TheEncoderIsChosenAndItsFilesRestoreAsChecked) {
    if (!kHaveJpegli) GTEST_SKIP() << "this build has no jpegli";
    TempFolder pictures, byJpegli, byTurbo;
    WritePhotoLikePictures(pictures.Path());
    JsonOf({"pack", "--all-jpeg", "-q", "85", "-o", byJpegli.Path(), pictures.Path()}, 0);
    JsonOf({"pack", "--all-jpeg", "-q", "85", "--encoder", "libjpeg-turbo", "-o", byTurbo.Path(), pictures.Path()}, 0);
    std::string made = folder / "made.jpg";
    ASSERT_EQ(1, ConvertBmpToJpg(CodecPath(made).c_str(), CodecPath(pictures / "p0.bmp").c_str(), 85, 0));
    EXPECT_EQ(ReadBytes(made), ReadBytes(byTurbo / "p0.jpg"));
    EXPECT_NE(ReadBytes(made), ReadBytes(byJpegli / "p0.jpg"));

    std::string checked = JsonOf({"check", "--bmp-from", pictures.Path(), byJpegli.Path()}, 0);
    ASSERT_EQ(0, RunCommand({"restore", "--quiet", byJpegli.Path()}));
    for (int i = 0; i < 3; ++i) {
        std::string name = "p" + std::to_string(i) + ".bmp";
        ImageHandle original = BMPtoDIB(CodecPath(pictures / name).c_str());
        ImageHandle restored = BMPtoDIB(CodecPath(byJpegli / name).c_str());
        double psnr = 0;
        ASSERT_TRUE(PicturePsnr(original, restored, &psnr)) << name;
        EXPECT_NEAR(JsonValue(checked, "psnr_db", checked.find("\"bmp\": \"" + name + "\"")), psnr, 0.005) << name;
        DeleteDIB(original);
        DeleteDIB(restored);
    }
}

}  // namespace
