// tolvinst on a volume with room for only some of its BMPs: a small drive
// that tests/full_disk_test.sh mounts and maps before running this.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "test_images.h"
#include "win_process.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(RestorerFullDisk, KeepsWhatDidNotFitAndFinishesOnceThereIsRoom) {
    const char* drive = getenv("TOLVANE_SMALL_DRIVE");
    ASSERT_TRUE(drive) << "run through full_disk_test.sh, which maps the small drive";
    const std::string root = std::string(drive) + "\\";
    const struct {
        const char* program;
        int showState;
    } runs[] = {{TOLVINST_PATH, SW_SHOWNORMAL}, {TOLVINST_ONE_WORKER_PATH, SW_HIDE}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.program);
        const std::string folder = root + "inst", filler = root + "filler";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        std::vector<std::pair<std::string, std::string>> pairs;
        std::vector<Pixels> pictures;
        for (int i = 0; i < 7; ++i) {
            std::string name = "p" + std::to_string(i);
            ASSERT_TRUE(SaveJpeg(folder + "\\" + name + ".jpg", MakePicture(200, 200, 3, i), 85));
            pictures.push_back(LoadJpegPixels(folder + "\\" + name + ".jpg"));
            pairs.push_back({name + ".jpg", i == 6 ? "old.bmp" : name + ".bmp"});
        }
        // The last entry's BMP is a file the installer placed: a failed
        // save must leave it as it was.
        const std::vector<uint8_t> old(3000, 0x55);
        ASSERT_TRUE(WriteBytes(folder + "\\old.bmp", old));
        std::string list = "7\r\n";
        for (const auto& pair : pairs) list += pair.first + "\r\n" + pair.second + "\r\n";
        ASSERT_TRUE(WriteBytes(folder + "\\tvfile.txt", std::vector<uint8_t>(list.begin(), list.end())));

        // Leave room for three and a half BMPs of 200 x 200 (30 pages each).
        ULARGE_INTEGER available;
        ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
        const uint64_t room = 7 * 122880 / 2;
        ASSERT_GT(available.QuadPart, room + 65536) << "the drive is too small for the test";
        ASSERT_TRUE(WriteBytes(filler, std::vector<uint8_t>(available.QuadPart - room, 0)));

        RunResult result = RunProgram(run.program, folder + "\\", folder, run.showState, 60000);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(1u, result.exitCode);
        std::string kept;
        int keptCount = 0;
        for (size_t i = 0; i < pairs.size(); ++i) {
            std::string jpeg = folder + "\\" + pairs[i].first, bmp = folder + "\\" + pairs[i].second;
            if (FileExists(jpeg)) {
                kept += pairs[i].first + "\r\n" + pairs[i].second + "\r\n";
                ++keptCount;
                if (i == 6) {
                    EXPECT_EQ(old, ReadBytes(bmp)) << "the placed BMP was damaged";
                } else if (FileExists(bmp)) {
                    EXPECT_EQ(0, MaxDifference(pictures[i], LoadBmpPixels(bmp))) << pairs[i].second;
                }
            } else {
                EXPECT_EQ(0, MaxDifference(pictures[i], LoadBmpPixels(bmp))) << pairs[i].second << " lost with its JPEG";
            }
        }
        EXPECT_GE(keptCount, 3);
        EXPECT_EQ(std::to_string(keptCount) + "\r\n" + kept, Text(ReadBytes(folder + "\\tvfile.txt")));
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
        EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a temporary file was left: " << found.cFileName;
        if (search != INVALID_HANDLE_VALUE) FindClose(search);

        // Space freed, the installer runs it again: everything is restored.
        ASSERT_TRUE(DeleteFileA(filler.c_str()));
        result = RunProgram(run.program, folder + "\\", folder, run.showState, 60000);
        EXPECT_EQ(0u, result.exitCode);
        EXPECT_FALSE(FileExists(folder + "\\tvfile.txt"));
        for (size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_FALSE(FileExists(folder + "\\" + pairs[i].first));
            EXPECT_EQ(0, MaxDifference(pictures[i], LoadBmpPixels(folder + "\\" + pairs[i].second))) << pairs[i].second;
        }
        // Clear the drive for the next program.
        for (const auto& pair : pairs) DeleteFileA((folder + "\\" + pair.second).c_str());
        ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
    }
}

}  // namespace
