// The restore procedure tolvinst and tolvpack restore share, natively: when
// it flushes and deletes, what it counts, and what it does when the list
// cannot be changed. fsync and unlink are this program's own here, so the
// order of the procedure's flushes and deletions can be watched.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "pair_list.h"
#include "restore.h"
#include "test_images.h"
#include "text_encoding.h"

namespace {

std::mutex EventLock;
std::vector<std::string>* Events;  // recorded while a test watches

void Record(const std::string& event) {
    std::lock_guard<std::mutex> hold(EventLock);
    if (Events) Events->push_back(event);
}

}  // namespace

extern "C" int fsync(int descriptor) {
    static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    struct stat status;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) Record("flush");
    return real(descriptor);
}

extern "C" int unlink(const char* path) {
    static auto real = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_NEXT, "unlink"));
    int result = real(path);
    if (result == 0) Record(std::string("delete ") + PathNamePart(path));
    return result;
}

namespace {

class Restore : public ::testing::Test {
protected:
    TempFolder folder;
    std::vector<std::string> events;
    std::vector<int> left;  // every count the progress reported

    void SetUp() override { Events = &events; }
    void TearDown() override {
        std::lock_guard<std::mutex> hold(EventLock);
        Events = nullptr;
    }
    void Pictures(int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(SaveJpeg(folder / ("p" + std::to_string(i) + ".jpg"), MakePicture(40, 30, 3, i), 85));
    }
    void List(const std::vector<std::pair<std::string, std::string>>& pairs) {
        std::vector<PairEntry> entries;
        for (const auto& pair : pairs) {
            PairEntry entry = {};
            snprintf(entry.jpgName, sizeof entry.jpgName, "%s", pair.first.c_str());
            snprintf(entry.bmpName, sizeof entry.bmpName, "%s", pair.second.c_str());
            entries.push_back(entry);
        }
        ASSERT_TRUE(SavePairListFile((folder / "tvfile.txt").c_str(), entries.data(), static_cast<int>(entries.size())));
    }
    int Run() {
        std::string prefix = folder.Path() + "/";
        if (!ReadRestoreList(prefix.c_str())) return kNoList;
        events.clear();
        auto report = [](int entriesLeft, const char*, void* context) {
            static_cast<Restore*>(context)->left.push_back(entriesLeft);
        };
        return RestoreListedFiles(2, report, this);
    }
    bool Exists(const std::string& name) { return FileExists(folder / name); }
};

TEST_F(Restore, EveryBmpIsFlushedBeforeTheFirstJpegGoes) {
    Pictures(4);
    List({{"p0.jpg", "p0.bmp"}, {"p1.jpg", "p1.bmp"}, {"p2.jpg", "p2.bmp"}, {"p3.jpg", "p3.bmp"}});
    ASSERT_EQ(kRestoredAll, Run());
    int flushes = 0;
    bool deleted = false;
    for (const std::string& event : events) {
        if (event == "flush") EXPECT_FALSE(deleted) << "a BMP flushed after a JPEG was deleted";
        flushes += event == "flush";
        deleted = deleted || (event.rfind("delete p", 0) == 0 && event.find(".jpg") != std::string::npos);
    }
    EXPECT_EQ(4, flushes);
    EXPECT_TRUE(deleted);
}

// Refused entries are finished too: the count ends at 0. An entry listed
// twice is one entry, restored once.
TEST_F(Restore, ProgressEndsAtZeroAndARepeatedEntryIsRestoredOnce) {
    Pictures(2);
    List({{"../p0.jpg", "x.bmp"}, {"p1.jpg", "p1.bmp"}, {"p1.jpg", "p1.bmp"}});
    EXPECT_EQ(kRestoredPart, Run());
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(0, left.back());
    EXPECT_TRUE(Exists("p1.bmp") && !Exists("p1.jpg"));
    std::vector<uint8_t> kept = ReadBytes(folder / "tvfile.txt");
    EXPECT_EQ("1\r\n../p0.jpg\r\nx.bmp\r\n", std::string(kept.begin(), kept.end()));

    List({{"p1.jpg", "p1.bmp"}, {"p1.jpg", "p1.bmp"}});
    ASSERT_TRUE(SaveJpeg(folder / "p1.jpg", MakePicture(40, 30, 3, 1), 85));
    EXPECT_EQ(kRestoredAll, Run());
    EXPECT_FALSE(Exists("p1.jpg") || Exists("tvfile.txt"));
}

// A list that can be neither replaced nor deleted cannot say what is left:
// every JPEG stays.
TEST_F(Restore, ListThatCannotChangeKeepsEveryJpeg) {
    Pictures(2);
    List({{"p0.jpg", "p0.bmp"}, {"p1.jpg", "p1.bmp"}});
    int list = open((folder / "tvfile.txt").c_str(), O_RDONLY);
    int flags = 0;
    bool immutable = list >= 0 && ioctl(list, FS_IOC_GETFLAGS, &flags) == 0 &&
                     (flags |= FS_IMMUTABLE_FL, ioctl(list, FS_IOC_SETFLAGS, &flags) == 0);
    if (!immutable) {
        if (list >= 0) close(list);
        GTEST_SKIP() << "making a file immutable needs root and a file system that has the flag";
    }
    int outcome = Run();
    flags &= ~FS_IMMUTABLE_FL;
    ioctl(list, FS_IOC_SETFLAGS, &flags);
    close(list);
    EXPECT_EQ(kRestoredPart, outcome);
    EXPECT_TRUE(Exists("p0.jpg") && Exists("p1.jpg"));
}

// A killed run's temporary files go; files of other names stay.
TEST_F(Restore, RerunRemovesWhatAKilledSaveLeft) {
    Pictures(1);
    List({{"p0.jpg", "p0.bmp"}});
    for (const char* name : {"~tv1f2e_3.tmp", "~tvnotours.tmp", "~tv1_2.txt"}) ASSERT_TRUE(WriteBytes(folder / name, {1}));
    EXPECT_EQ(kRestoredAll, Run());
    EXPECT_FALSE(Exists("~tv1f2e_3.tmp"));
    EXPECT_TRUE(Exists("~tvnotours.tmp") && Exists("~tv1_2.txt"));
}

}  // namespace
