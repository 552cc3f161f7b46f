// A pool of workers that run conversion jobs on every processor. The caller
// feeds jobs one at a time as it finds them (a folder search, a pair list);
// the queue is short, so memory stays bounded: each worker holds at most one
// decoded image. Jobs that depend on an earlier one (same target, or one's
// source is the other's target) start only after it has finished, so the
// files written are those of a one-by-one loop in the order given.
// Results are reported on the caller's thread, inside AddPoolJob and
// FinishPool, in the order the jobs finish.
#pragma once
#include "bounded_string.h"
#include "text_encoding.h"

struct PoolJob;
typedef int (*PoolJobProcedure)(const PoolJob& job);

// A file whose paths could not be built is added with run null: it counts
// as failed, in its place among the others.
struct PoolJob {
    PoolJobProcedure run;  // one conversion: returns 0 on failure
    char source[kUtf8PathSize];
    char target[kUtf8PathSize];
    int quality;
    int progressive;
    int optimize;  // Huffman tables made for each picture
    long number;  // set by AddPoolJob: 0, 1, 2... in the order jobs were added
};

// The three primitives as jobs.
int RunJpgToBmpJob(const PoolJob& job);
int RunBmpToJpgJob(const PoolJob& job);
int RunJpgToJpgJob(const PoolJob& job);

// How a worker runs a job. RunJobCatching: a fault inside one conversion (an
// exception) is that job's failure only. RunJobDirectly: for jobs that report
// every failure as their result, as the codec's conversions do; a program
// that never names RunJobCatching carries no exception handling.
typedef int (*PoolJobRunner)(const PoolJob& job);
int RunJobCatching(const PoolJob& job);
int RunJobDirectly(const PoolJob& job);

// Called on the caller's thread for every finished job with its status. Why
// a job failed was its worker's to read (LastImgctlError is kept per thread):
// run the job again on the caller's thread to read it; it fails the same way.
typedef void (*PoolReport)(const PoolJob& job, int status, void* context);
// Whether two paths name the same file; SamePathIgnoringCase by default.
typedef bool (*PoolSamePath)(const char* a, const char* b);

struct PoolSummary {
    long done;         // jobs run
    long failed;       // of which returned 0
    PoolJob firstFailed;  // the failed job added first; valid when failed > 0
};

struct ConvertPool;

// workers 0: one per processor. report and samePath may be null. Never
// fails: without threads the jobs run on the caller's thread in AddPoolJob.
ConvertPool* StartPoolWith(PoolJobRunner runner, int workers, PoolReport report, void* context,
                           PoolSamePath samePath = nullptr);
inline ConvertPool* StartPool(int workers, PoolReport report, void* context, PoolSamePath samePath = nullptr) {
    return StartPoolWith(RunJobCatching, workers, report, context, samePath);
}
// Queues a copy of the job; waits while the queue is full or an earlier
// job it depends on has not finished.
void AddPoolJob(ConvertPool* pool, const PoolJob& job);
// Waits for every job, reports the last ones, stops the workers, frees the
// pool and returns the counts.
PoolSummary FinishPool(ConvertPool* pool);
// The number of workers StartPool(0, ...) uses.
int ProcessorCount();
