// The conversion pool: several workers write the very bytes one worker
// writes, jobs that depend on an earlier one wait for it, and a failing job
// is counted without stopping the rest.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "convert_pool.h"
#include "test_images.h"

namespace {

PoolJob MakeJob(PoolJobProcedure run, const std::string& source, const std::string& target) {
    PoolJob job = {};
    job.run = run;
    job.quality = 80;
    EXPECT_TRUE(CopyString(job.source, source.c_str()));
    EXPECT_TRUE(CopyString(job.target, target.c_str()));
    return job;
}

// A batch as a folder command or the restorer makes it: many pictures, one
// damaged file, and entries whose order matters (two writers of one BMP,
// a reader of that BMP, a writer over a JPEG another entry reads).
struct Batch {
    TempFolder folder;
    std::vector<PoolJob> jobs;
    std::vector<std::string> names;
    std::string At(const std::string& name) const { return folder / name; }
    void Add(PoolJobProcedure run, const std::string& source, const std::string& target) {
        jobs.push_back(MakeJob(run, At(source), At(target)));
        names.push_back(target);
    }
    Batch() {
        for (int i = 0; i < 10; ++i) {
            std::string n = "p" + std::to_string(i);
            EXPECT_TRUE(SaveJpeg(At(n + ".jpg"), MakePicture(40 + 37 * i, 30 + 11 * i, i == 3 ? 1 : 3, i), 85, i % 2));
        }
        EXPECT_TRUE(SaveJpeg(At("big.jpg"), MakePicture(900, 700, 3), 90));
        EXPECT_TRUE(WriteBytes(At("bad.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 0}));
        Add(RunJpgToBmpJob, "big.jpg", "shared.bmp");  // slow, and overwritten below
        for (int i = 0; i < 5; ++i) Add(RunJpgToBmpJob, "p" + std::to_string(i) + ".jpg", "p" + std::to_string(i) + ".bmp");
        Add(RunJpgToBmpJob, "bad.jpg", "bad.bmp");
        Add(RunJpgToBmpJob, "p5.jpg", "shared.bmp");     // same target: must win
        Add(RunBmpToJpgJob, "shared.bmp", "again.jpg");  // reads what the two wrote
        Add(RunJpgToJpgJob, "p6.jpg", "big.jpg");        // writes over the slow job's source
        for (int i = 7; i < 10; ++i) Add(RunJpgToJpgJob, "p" + std::to_string(i) + ".jpg", "q" + std::to_string(i) + ".jpg");
        Add(RunBmpToJpgJob, "missing.bmp", "m.jpg");
    }
    PoolSummary Run(int workers) {
        ConvertPool* pool = StartPool(workers, nullptr, nullptr);
        for (const PoolJob& job : jobs) AddPoolJob(pool, job);
        return FinishPool(pool);
    }
};

TEST(ConvertPool, ManyWorkersWriteTheBytesOfOneWorker) {
    Batch one, many;
    PoolSummary expected = one.Run(1);
    EXPECT_EQ(static_cast<long>(one.jobs.size()), expected.done);
    EXPECT_EQ(2, expected.failed);
    EXPECT_STREQ(one.At("bad.jpg").c_str(), expected.firstFailed.source);
    PoolSummary summary = many.Run(4);
    EXPECT_EQ(expected.done, summary.done);
    EXPECT_EQ(expected.failed, summary.failed);
    EXPECT_EQ(expected.firstFailed.number, summary.firstFailed.number);
    for (const std::string& name : one.names)
        EXPECT_EQ(ReadBytes(one.At(name)), ReadBytes(many.At(name))) << name;
    EXPECT_EQ(ReadBytes(one.At("big.jpg")), ReadBytes(many.At("big.jpg")));
}

// Jobs that only record when they ran, to see the pool's order decisions.
std::atomic<int> running{0};
std::atomic<int> earlierDone{0};

int SlowEarlierJob(const PoolJob&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    earlierDone = 1;
    return 1;
}
int LaterJob(const PoolJob&) { return earlierDone.load(); }
int FailingJob(const PoolJob&) { throw 1; }

// Returns 1 only when another job runs at the same time.
int MeetingJob(const PoolJob&) {
    ++running;
    for (int i = 0; i < 500 && running.load() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return running.load() >= 2 ? 1 : 0;
}

TEST(ConvertPool, DependentJobsWaitAndOthersRunTogether) {
    struct Case {
        const char *earlierSource, *earlierTarget, *laterSource, *laterTarget;
    } cases[] = {
        {"a.jpg", "x.bmp", "b.jpg", "X.BMP"},  // same target, any case
        {"a.jpg", "x.bmp", "X.bmp", "c.jpg"},  // reads what the earlier one writes
        {"a.jpg", "x.bmp", "d.bmp", "A.jpg"},  // writes what the earlier one reads
    };
    for (const Case& c : cases) {
        earlierDone = 0;
        ConvertPool* pool = StartPool(4, nullptr, nullptr);
        AddPoolJob(pool, MakeJob(SlowEarlierJob, c.earlierSource, c.earlierTarget));
        AddPoolJob(pool, MakeJob(LaterJob, c.laterSource, c.laterTarget));
        PoolSummary summary = FinishPool(pool);
        EXPECT_EQ(0, summary.failed) << c.laterSource << " -> " << c.laterTarget << " ran too early";
    }

    running = 0;
    ConvertPool* pool = StartPool(2, nullptr, nullptr);
    AddPoolJob(pool, MakeJob(FailingJob, "f.jpg", "f.bmp"));
    AddPoolJob(pool, MakeJob(MeetingJob, "m.jpg", "m.bmp"));
    AddPoolJob(pool, MakeJob(MeetingJob, "n.jpg", "n.bmp"));
    AddPoolJob(pool, MakeJob(nullptr, "unbuilt.jpg", ""));
    PoolSummary summary = FinishPool(pool);
    EXPECT_EQ(4, summary.done);
    EXPECT_EQ(2, summary.failed) << "the two independent jobs did not run together";
    EXPECT_STREQ("f.jpg", summary.firstFailed.source);
}

// The tally names the failed job that was added first, even when a later
// one fails sooner.
std::atomic<int> quickFailed{0};
int QuickFailingJob(const PoolJob&) {
    quickFailed = 1;
    return 0;
}
int LateFailingJob(const PoolJob&) {
    for (int i = 0; i < 500 && !quickFailed.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 0;
}
void RecordOrder(const PoolJob& job, int, void* context) {
    static_cast<std::vector<long>*>(context)->push_back(job.number);
}

TEST(ConvertPool, FailuresFinishingOutOfOrderAreAllCountedAndTheFirstAddedNamed) {
    quickFailed = 0;
    std::vector<long> reported;
    ConvertPool* pool = StartPool(2, RecordOrder, &reported);
    AddPoolJob(pool, MakeJob(LateFailingJob, "late.jpg", "late.bmp"));
    AddPoolJob(pool, MakeJob(QuickFailingJob, "quick.jpg", "quick.bmp"));
    PoolSummary summary = FinishPool(pool);
    ASSERT_EQ((std::vector<long>{1, 0}), reported) << "the later job did not finish first";
    EXPECT_EQ(2, summary.failed);
    EXPECT_EQ(0, summary.firstFailed.number);
    EXPECT_STREQ("late.jpg", summary.firstFailed.source);
}

}  // namespace
