#include "convert_pool.h"

#include <pthread.h>

#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "text_encoding.h"

// Plain threads, locks and arrays: nothing here throws, so a program whose
// jobs never throw (the restorer) carries no exception handling at all.
struct PoolWorker {
    ConvertPool* pool;
    int index;
};

struct ConvertPool {
    pthread_mutex_t lock;
    pthread_cond_t workReady;  // workers wait for jobs or the stop
    pthread_cond_t progress;   // the caller waits for room or results
    PoolJobRunner runner;
    PoolJob* waiting;  // a ring of `capacity` jobs, `waitingCount` of them from `waitingFirst`
    int capacity;
    int waitingFirst;
    int waitingCount;
    PoolJob* current;  // each worker's job while busy[w]
    bool* busy;
    // Finished, not yet reported: at most every job in the pool. The caller
    // swaps the two and reports one while the workers fill the other.
    PoolJob* finished;
    int* finishedStatus;
    int finishedCount;
    PoolJob* reporting;
    int* reportingStatus;
    bool stopping;
    pthread_t* threads;
    PoolWorker* workers;
    int started;  // threads running
    PoolReport report;
    void* context;
    PoolSamePath samePath;
    long added;
    PoolSummary summary;
};

int ProcessorCount() {
#ifdef _WIN32
    int n = pthread_num_processors_np();
#else
    long n = sysconf(_SC_NPROCESSORS_ONLN);
#endif
    return n <= 0 ? 1 : static_cast<int>(n);
}

int RunJobDirectly(const PoolJob& job) { return job.run ? job.run(job) : 0; }

static void Record(ConvertPool* pool, const PoolJob& job, int status) {
    PoolSummary& s = pool->summary;
    ++s.done;
    if (status == 0 && (s.failed++ == 0 || job.number < s.firstFailed.number)) s.firstFailed = job;
    if (pool->report) pool->report(job, status, pool->context);
}

static void* Work(void* start) {
    ConvertPool* pool = static_cast<PoolWorker*>(start)->pool;
    const int worker = static_cast<PoolWorker*>(start)->index;
    pthread_mutex_lock(&pool->lock);
    for (;;) {
        while (!pool->stopping && pool->waitingCount == 0) pthread_cond_wait(&pool->workReady, &pool->lock);
        if (pool->waitingCount == 0) break;
        pool->current[worker] = pool->waiting[pool->waitingFirst];
        pool->waitingFirst = (pool->waitingFirst + 1) % pool->capacity;
        --pool->waitingCount;
        pool->busy[worker] = true;
        pthread_mutex_unlock(&pool->lock);
        pthread_cond_broadcast(&pool->progress);
        int status = pool->runner(pool->current[worker]);
        pthread_mutex_lock(&pool->lock);
        pool->finished[pool->finishedCount] = pool->current[worker];
        pool->finishedStatus[pool->finishedCount++] = status;
        pool->busy[worker] = false;
        pthread_cond_broadcast(&pool->progress);
    }
    pthread_mutex_unlock(&pool->lock);
    return nullptr;
}

// Reports what has finished, with the lock released so the report may draw
// or take its time. Returns whether there was anything. Called holding the
// lock.
static bool ReportFinished(ConvertPool* pool) {
    const int count = pool->finishedCount;
    if (count == 0) return false;
    PoolJob* jobs = pool->finished;
    int* statuses = pool->finishedStatus;
    pool->finished = pool->reporting;
    pool->finishedStatus = pool->reportingStatus;
    pool->finishedCount = 0;
    pool->reporting = jobs;
    pool->reportingStatus = statuses;
    pthread_mutex_unlock(&pool->lock);
    for (int i = 0; i < count; ++i) Record(pool, jobs[i], statuses[i]);
    pthread_mutex_lock(&pool->lock);
    return true;
}

// Whether `later` must wait for `earlier`: one writes what the other reads
// or writes. Two jobs reading the same source may run together.
static bool DependsOn(const ConvertPool* pool, const PoolJob& later, const PoolJob& earlier) {
    return pool->samePath(later.target, earlier.target) || pool->samePath(later.source, earlier.target) ||
           pool->samePath(later.target, earlier.source);
}

static bool DependsOnUnfinished(const ConvertPool* pool, const PoolJob& job) {
    for (int i = 0; i < pool->waitingCount; ++i)
        if (DependsOn(pool, job, pool->waiting[(pool->waitingFirst + i) % pool->capacity])) return true;
    for (int w = 0; w < pool->started; ++w)
        if (pool->busy[w] && DependsOn(pool, job, pool->current[w])) return true;
    return false;
}

static void FreePool(ConvertPool* pool) {
    free(pool->waiting);
    free(pool->current);
    free(pool->busy);
    free(pool->finished);
    free(pool->finishedStatus);
    free(pool->reporting);
    free(pool->reportingStatus);
    free(pool->threads);
    free(pool->workers);
    free(pool);
}

ConvertPool* StartPoolWith(PoolJobRunner runner, int workers, PoolReport report, void* context,
                           PoolSamePath samePath) {
    ConvertPool* pool = static_cast<ConvertPool*>(calloc(1, sizeof(ConvertPool)));
    if (!pool) abort();  // no memory for a few hundred bytes: nothing could run
    pthread_mutex_init(&pool->lock, nullptr);
    pthread_cond_init(&pool->workReady, nullptr);
    pthread_cond_init(&pool->progress, nullptr);
    pool->runner = runner;
    pool->report = report;
    pool->context = context;
    pool->samePath = samePath ? samePath : SamePathIgnoringCase;
    const int count = workers > 0 ? workers : ProcessorCount();
    const size_t held = size_t(3) * size_t(count);  // waiting and running
    pool->capacity = 2 * count;  // enough that no worker waits for the caller
    pool->waiting = static_cast<PoolJob*>(calloc(size_t(pool->capacity), sizeof(PoolJob)));
    pool->current = static_cast<PoolJob*>(calloc(size_t(count), sizeof(PoolJob)));
    pool->busy = static_cast<bool*>(calloc(size_t(count), sizeof(bool)));
    pool->finished = static_cast<PoolJob*>(calloc(held, sizeof(PoolJob)));
    pool->finishedStatus = static_cast<int*>(calloc(held, sizeof(int)));
    pool->reporting = static_cast<PoolJob*>(calloc(held, sizeof(PoolJob)));
    pool->reportingStatus = static_cast<int*>(calloc(held, sizeof(int)));
    pool->threads = static_cast<pthread_t*>(calloc(size_t(count), sizeof(pthread_t)));
    pool->workers = static_cast<PoolWorker*>(calloc(size_t(count), sizeof(PoolWorker)));
    const bool made = pool->waiting && pool->current && pool->busy && pool->finished && pool->finishedStatus &&
                      pool->reporting && pool->reportingStatus && pool->threads && pool->workers;
    // Fewer threads than asked: the ones running share the work, and with
    // none AddPoolJob converts by itself.
    for (int w = 0; made && w < count; ++w) {
        pool->workers[w] = {pool, w};
        if (pthread_create(&pool->threads[w], nullptr, Work, &pool->workers[w]) != 0) break;
        pool->started = w + 1;
    }
    return pool;
}

void AddPoolJob(ConvertPool* pool, const PoolJob& job) {
    PoolJob copy = job;
    copy.number = pool->added++;
    if (pool->started == 0) {
        Record(pool, copy, pool->runner(copy));
        return;
    }
    pthread_mutex_lock(&pool->lock);
    for (;;) {
        if (ReportFinished(pool)) continue;
        if (pool->waitingCount < pool->capacity && !DependsOnUnfinished(pool, copy)) break;
        pthread_cond_wait(&pool->progress, &pool->lock);
    }
    pool->waiting[(pool->waitingFirst + pool->waitingCount++) % pool->capacity] = copy;
    pthread_mutex_unlock(&pool->lock);
    pthread_cond_signal(&pool->workReady);
}

PoolSummary FinishPool(ConvertPool* pool) {
    pthread_mutex_lock(&pool->lock);
    pool->stopping = true;
    pthread_mutex_unlock(&pool->lock);
    pthread_cond_broadcast(&pool->workReady);
    // Workers leave once the queue is empty; their last results are
    // reported as they come so the caller's window keeps moving.
    pthread_mutex_lock(&pool->lock);
    for (;;) {
        if (ReportFinished(pool)) continue;
        bool idle = pool->waitingCount == 0;
        for (int w = 0; w < pool->started; ++w) idle = idle && !pool->busy[w];
        if (idle) break;
        pthread_cond_wait(&pool->progress, &pool->lock);
    }
    pthread_mutex_unlock(&pool->lock);
    for (int w = 0; w < pool->started; ++w) pthread_join(pool->threads[w], nullptr);
    PoolSummary summary = pool->summary;
    pthread_cond_destroy(&pool->progress);
    pthread_cond_destroy(&pool->workReady);
    pthread_mutex_destroy(&pool->lock);
    FreePool(pool);
    return summary;
}
