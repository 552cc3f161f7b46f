// A save whose writing fails part-way (the disk fills up) must leave the
// old file exactly as it was and nothing beside it. A limit on the size of
// the files this process may write makes the write fail for real.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>

#include <functional>
#include <string>
#include <vector>

#include "imgctl.h"
#include "pair_list.h"
#include "test_images.h"

namespace {

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

TEST(SaveFailure, AWriteFailingPartWayLeavesTheOldFile) {
    std::vector<PairEntry> entries(kListCapacity);
    for (size_t i = 0; i < entries.size(); ++i) {
        snprintf(entries[i].jpgName, kNameSize, "%058zu.jpg", i);
        snprintf(entries[i].bmpName, kNameSize, "%058zu.bmp", i);
    }
    ImageHandle picture = reinterpret_cast<ImageHandle>(ImageOf(MakePicture(300, 200, 3)));
    const struct {
        const char* what;
        std::function<bool(const std::string&)> save;
    } savers[] = {
        {"a BMP", [&](const std::string& path) { return DIBtoBMP(path.c_str(), picture) == kImgctlSaved; }},
        {"a list", [&](const std::string& path) { return SavePairListFile(path.c_str(), entries.data(), kListCapacity); }},
    };
    for (bool durable : {false, true})
        for (const auto& saver : savers) {
            SCOPED_TRACE(std::string(saver.what) + (durable ? ", durable" : ""));
            SetDurableSaves(durable);
            TempFolder folder;
            const std::string target = folder / "target";
            const std::vector<uint8_t> old(5000, 0x55);
            ASSERT_TRUE(WriteBytes(target, old));

            rlimit saved;
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 16384;  // the new file is larger
            signal(SIGXFSZ, SIG_IGN);
            ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
            bool ok = saver.save(target);
            setrlimit(RLIMIT_FSIZE, &saved);

            EXPECT_FALSE(ok);
            EXPECT_EQ(old, ReadBytes(target));
            EXPECT_EQ(std::vector<std::string>{"target"}, FolderNames(folder.Path()));
            EXPECT_TRUE(saver.save(target));  // and with room it goes through
        }
    SetDurableSaves(false);
    DeleteDIB(picture);
}

}  // namespace
