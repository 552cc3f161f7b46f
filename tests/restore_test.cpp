// The restore procedure tolvinst and tolvpack restore share, natively: when
// it flushes and deletes, what it counts, and what it does when the list
// cannot be changed. fsync and unlink are this program's own here, so the
// order of the procedure's flushes and deletions can be watched.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
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
std::string KillAfter;             // the event after which a forked run dies at once, as if killed
std::string RefusedDelete;         // a file name unlink refuses

void Record(const std::string& event) {
    std::lock_guard<std::mutex> hold(EventLock);
    if (Events) Events->push_back(event);
    if (!KillAfter.empty() && event == KillAfter) _exit(9);
}

}  // namespace

extern "C" int fsync(int descriptor) {
    static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    struct stat status;
    if (fstat(descriptor, &status) == 0) Record(S_ISDIR(status.st_mode) ? "flush folder" : "flush");
    return real(descriptor);
}

extern "C" int unlink(const char* path) {
    static auto real = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_NEXT, "unlink"));
    if (RefusedDelete == PathNamePart(path)) {
        errno = EPERM;
        return -1;
    }
    int result = real(path);
    if (result == 0) Record(std::string("delete ") + PathNamePart(path));
    return result;
}

extern "C" int rename(const char* from, const char* to) {
    static auto real = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
    int result = real(from, to);
    if (result == 0) Record(std::string("replace ") + PathNamePart(to));
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
        KillAfter.clear();
        RefusedDelete.clear();
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
    // A run in a child process that dies at once after the event.
    void RunKilledAfter(const std::string& event) {
        pid_t child = fork();
        if (child == 0) {
            KillAfter = event;
            Run();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << "not killed after " << event;
    }
    bool Exists(const std::string& name) { return FileExists(folder / name); }
    std::string Text(const std::string& name) {
        std::vector<uint8_t> bytes = ReadBytes(folder / name);
        return std::string(bytes.begin(), bytes.end());
    }
};

// The BMPs, the folder's renames and the record of what was restored are
// all on the disk before the list changes and the first JPEG goes.
TEST_F(Restore, EverythingIsFlushedBeforeTheListChangesAndTheFirstJpegGoes) {
    Pictures(4);
    List({{"p0.jpg", "p0.bmp"}, {"p1.jpg", "p1.bmp"}, {"p2.jpg", "p2.bmp"}, {"p3.jpg", "p3.bmp"}});
    ASSERT_EQ(kRestoredAll, Run());
    int flushes = 0;
    bool folderFlushed = false, recorded = false, deleted = false;
    for (const std::string& event : events) {
        if (event.rfind("flush", 0) == 0) EXPECT_FALSE(deleted) << "flushed after a JPEG was deleted";
        flushes += event == "flush";
        if (event == "replace tvdone.txt") recorded = true, folderFlushed = false;
        folderFlushed = folderFlushed || event == "flush folder";
        bool jpegGoes = event.rfind("delete p", 0) == 0 && event.find(".jpg") != std::string::npos;
        if (event == "delete tvfile.txt" || jpegGoes) EXPECT_TRUE(recorded && folderFlushed) << event;
        deleted = deleted || jpegGoes;
    }
    EXPECT_EQ(5, flushes) << "four BMPs and the record";
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(Exists("tvdone.txt"));
}

// A kill at any step after the record: the rerun finishes the deletions and
// says all is restored; no JPEG, list or record stays.
TEST_F(Restore, RerunAfterAKillAtAnyStepFinishesTheJob) {
    for (const char* step : {"replace tvdone.txt", "delete tvfile.txt", "delete p0.jpg", "delete p2.jpg"}) {
        Pictures(3);
        List({{"p0.jpg", "p0.bmp"}, {"p1.jpg", "p1.bmp"}, {"p2.jpg", "p2.bmp"}});
        RunKilledAfter(step);
        EXPECT_EQ(kRestoredAll, Run()) << step;
        for (const char* name : {"p0.jpg", "p1.jpg", "p2.jpg", "tvfile.txt", "tvdone.txt"})
            EXPECT_FALSE(Exists(name)) << name << " after a kill at " << step;
        EXPECT_TRUE(Exists("p0.bmp") && Exists("p1.bmp") && Exists("p2.bmp"));
    }
    // Killed just after the list was rewritten to the entry not restored.
    Pictures(2);
    List({{"p0.jpg", "p0.bmp"}, {"p1.jpg", "p1.bmp"}, {"gone.jpg", "gone.bmp"}});
    RunKilledAfter("replace tvfile.txt");
    EXPECT_EQ(kRestoredPart, Run());
    EXPECT_FALSE(Exists("p0.jpg") || Exists("p1.jpg") || Exists("tvdone.txt"));
    EXPECT_EQ("1\r\ngone.jpg\r\ngone.bmp\r\n", Text("tvfile.txt"));
}

// Exit 0 only when every entry is restored: one the restorer cannot read
// stays in the list byte for byte, run after run. One JPEG listed into two
// BMPs makes both.
TEST_F(Restore, EntryThatCannotBeReadKeepsItsBytesAndTheOutcome) {
    Pictures(2);
    const std::string longName(61, 'x');
    const std::string list = "3\r\np0.jpg\r\na.bmp\r\n" + longName + ".jpg\r\nb.bmp\r\np0.jpg\r\nc.bmp\r\n";
    ASSERT_TRUE(WriteBytes(folder / "tvfile.txt", std::vector<uint8_t>(list.begin(), list.end())));
    EXPECT_EQ(kRestoredPart, Run());
    EXPECT_TRUE(Exists("a.bmp") && Exists("c.bmp") && !Exists("p0.jpg"));
    const std::string kept = "1\r\n" + longName + ".jpg\r\nb.bmp\r\n";
    EXPECT_EQ(kept, Text("tvfile.txt"));
    EXPECT_EQ(kRestoredPart, Run());
    EXPECT_EQ(kept, Text("tvfile.txt"));
}

// A JPEG that cannot be deleted keeps its entry (and the outcome), so that
// some list still names it.
TEST_F(Restore, JpegThatCannotBeDeletedKeepsItsEntry) {
    Pictures(2);
    List({{"p0.jpg", "p0.bmp"}, {"p1.jpg", "p1.bmp"}});
    RefusedDelete = "p1.jpg";
    EXPECT_EQ(kRestoredPart, Run());
    EXPECT_FALSE(Exists("p0.jpg") || Exists("tvdone.txt"));
    EXPECT_EQ("1\r\np1.jpg\r\np1.bmp\r\n", Text("tvfile.txt"));
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

// A killed run's temporary files go; files of other names stay, and so
// does a file the list names, whatever its name.
TEST_F(Restore, RerunRemovesWhatAKilledSaveLeft) {
    Pictures(1);
    ASSERT_TRUE(SaveJpeg(folder / "~tv1_1.tmp", MakePicture(8, 8, 3, 1), 85));
    List({{"p0.jpg", "p0.bmp"}, {"~tv1_1.tmp", "x.bmp"}});
    for (const char* name : {"~tv1f2e_3.tmp", "~tvnotours.tmp", "~tv1_2.txt"}) ASSERT_TRUE(WriteBytes(folder / name, {1}));
    EXPECT_EQ(kRestoredPart, Run());
    EXPECT_FALSE(Exists("~tv1f2e_3.tmp"));
    EXPECT_TRUE(Exists("~tvnotours.tmp") && Exists("~tv1_2.txt") && Exists("~tv1_1.tmp"));
    EXPECT_EQ(kRestoredPart, Run());
    EXPECT_TRUE(Exists("~tv1_1.tmp"));
}

}  // namespace
