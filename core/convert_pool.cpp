#include "convert_pool.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "convert.h"
#include "text_encoding.h"

int RunJpgToBmpJob(const PoolJob& job) { return ConvertJpgToBmp(job.target, job.source); }
int RunBmpToJpgJob(const PoolJob& job) {
    return ConvertBmpToJpg(job.target, job.source, job.quality, job.progressive, job.optimize);
}
int RunJpgToJpgJob(const PoolJob& job) {
    return ConvertJpgToJpg(job.source, job.target, job.quality, job.progressive, job.optimize);
}

struct ConvertPool {
    std::mutex lock;
    std::condition_variable workReady;  // workers wait for jobs or the stop
    std::condition_variable progress;   // the caller waits for room or results
    std::deque<PoolJob> waiting;        // at most `capacity` jobs
    size_t capacity = 0;
    std::vector<PoolJob> current;  // each worker's job while busy[w]
    std::vector<char> busy;
    std::deque<std::pair<PoolJob, int>> finished;  // not yet reported
    bool stopping = false;
    std::vector<std::thread> threads;
    PoolReport report = nullptr;
    void* context = nullptr;
    PoolSamePath samePath = SamePathIgnoringCase;
    long added = 0;
    PoolSummary summary = {};
};

int ProcessorCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

// A fault inside one conversion is that job's failure only.
static int RunJob(const PoolJob& job) {
    try {
        return job.run ? job.run(job) : 0;
    } catch (...) {
        return 0;
    }
}

static void Record(ConvertPool* pool, const PoolJob& job, int status) {
    PoolSummary& s = pool->summary;
    ++s.done;
    if (status == 0 && (s.failed++ == 0 || job.number < s.firstFailed.number)) s.firstFailed = job;
    if (pool->report) pool->report(job, status, pool->context);
}

static void Work(ConvertPool* pool, size_t worker) {
    std::unique_lock<std::mutex> hold(pool->lock);
    for (;;) {
        pool->workReady.wait(hold, [pool] { return pool->stopping || !pool->waiting.empty(); });
        if (pool->waiting.empty()) return;
        pool->current[worker] = pool->waiting.front();
        pool->waiting.pop_front();
        pool->busy[worker] = 1;
        hold.unlock();
        pool->progress.notify_all();
        int status = RunJob(pool->current[worker]);
        hold.lock();
        pool->finished.emplace_back(pool->current[worker], status);
        pool->busy[worker] = 0;
        pool->progress.notify_all();
    }
}

// Reports what has finished, with the lock released so the report may draw
// or take its time. Returns whether there was anything.
static bool ReportFinished(ConvertPool* pool, std::unique_lock<std::mutex>& hold) {
    if (pool->finished.empty()) return false;
    std::deque<std::pair<PoolJob, int>> done;
    done.swap(pool->finished);
    hold.unlock();
    for (const auto& result : done) Record(pool, result.first, result.second);
    hold.lock();
    return true;
}

// Whether `later` must wait for `earlier`: one writes what the other reads
// or writes. Two jobs reading the same source may run together.
static bool DependsOn(const ConvertPool* pool, const PoolJob& later, const PoolJob& earlier) {
    return pool->samePath(later.target, earlier.target) || pool->samePath(later.source, earlier.target) ||
           pool->samePath(later.target, earlier.source);
}

static bool DependsOnUnfinished(const ConvertPool* pool, const PoolJob& job) {
    for (const PoolJob& queued : pool->waiting)
        if (DependsOn(pool, job, queued)) return true;
    for (size_t w = 0; w < pool->current.size(); ++w)
        if (pool->busy[w] && DependsOn(pool, job, pool->current[w])) return true;
    return false;
}

ConvertPool* StartPool(int workers, PoolReport report, void* context, PoolSamePath samePath) {
    ConvertPool* pool = new ConvertPool;
    pool->report = report;
    pool->context = context;
    if (samePath) pool->samePath = samePath;
    size_t count = static_cast<size_t>(workers > 0 ? workers : ProcessorCount());
    pool->current.resize(count);
    pool->busy.assign(count, 0);
    pool->capacity = 2 * count;  // enough that no worker waits for the caller
    try {
        for (size_t w = 0; w < count; ++w) pool->threads.emplace_back(Work, pool, w);
    } catch (...) {
        // Fewer threads than asked: the ones running share the work, and
        // with none AddPoolJob converts by itself.
    }
    return pool;
}

void AddPoolJob(ConvertPool* pool, const PoolJob& job) {
    PoolJob copy = job;
    copy.number = pool->added++;
    if (pool->threads.empty()) {
        Record(pool, copy, RunJob(copy));
        return;
    }
    std::unique_lock<std::mutex> hold(pool->lock);
    for (;;) {
        if (ReportFinished(pool, hold)) continue;
        if (pool->waiting.size() < pool->capacity && !DependsOnUnfinished(pool, copy)) break;
        pool->progress.wait(hold);
    }
    pool->waiting.push_back(copy);
    hold.unlock();
    pool->workReady.notify_one();
}

PoolSummary FinishPool(ConvertPool* pool) {
    {
        std::unique_lock<std::mutex> hold(pool->lock);
        pool->stopping = true;
    }
    pool->workReady.notify_all();
    {
        // Workers leave once the queue is empty; their last results are
        // reported as they come so the caller's window keeps moving.
        std::unique_lock<std::mutex> hold(pool->lock);
        for (;;) {
            if (ReportFinished(pool, hold)) continue;
            bool idle = pool->waiting.empty();
            for (char b : pool->busy) idle = idle && !b;
            if (idle) break;
            pool->progress.wait(hold);
        }
    }
    for (std::thread& t : pool->threads) t.join();
    PoolSummary summary = pool->summary;
    delete pool;
    return summary;
}
