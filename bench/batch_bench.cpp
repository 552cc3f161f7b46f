// Times whole folders the way the folder commands convert them: each file a
// job of the conversion pool, one worker against one per processor, beside
// a loop of djpeg/cjpeg processes and Pillow looping in one process.
//
//   tolvane_batch_bench run BATCHDIR [REPS]   BATCHDIR/jpg/*.jpg, BATCHDIR/bmp/*.bmp
//   tolvane_batch_bench ours DIRECTION WORKERS BATCHDIR OUTDIR
//                                             one batch in a fresh process,
//                                             so its peak RSS is its own
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "convert_pool.h"

namespace {

const int kQuality = 75;
enum { kJpgToBmp, kBmpToJpg, kJpgToJpg, kDirections };
const char* kDirectionArg[kDirections] = {"jpg2bmp", "bmp2jpg", "jpg2jpg"};
const char* kDirectionTitle[kDirections] = {"JPEG -> BMP", "BMP -> JPEG (quality 75, baseline)",
                                            "JPEG -> JPEG (quality 75, baseline)"};
PoolJobProcedure kJobRun[kDirections] = {RunJpgToBmpJob, RunBmpToJpgJob, RunJpgToJpgJob};
const char* SourceKind(int d) { return d == kBmpToJpg ? "bmp" : "jpg"; }
const char* TargetKind(int d) { return d == kJpgToBmp ? "bmp" : "jpg"; }

// ---- ours: the pool fed file by file, as a folder search feeds it ----------

int OursChild(int d, int workers, const std::string& batch, const std::string& out) {
    std::vector<std::string> names = ListFiles(batch + "/" + SourceKind(d), SourceKind(d));
    long startRss = MaxRssKb();
    double start = Now();
    ConvertPool* pool = StartPool(workers, nullptr, nullptr);
    for (const std::string& n : names) {
        PoolJob job = {};
        job.run = kJobRun[d];
        job.quality = kQuality;
        std::string source = batch + "/" + SourceKind(d) + "/" + n + "." + SourceKind(d);
        std::string target = out + "/" + n + "." + TargetKind(d);
        if (!CopyString(job.source, source.c_str()) || !CopyString(job.target, target.c_str())) Fail("path too long", n);
        AddPoolJob(pool, job);
    }
    PoolSummary summary = FinishPool(pool);
    double seconds = Now() - start;
    if (summary.failed) Fail("ours failed on", summary.firstFailed.source);
    printf("%.6f %ld %ld\n", seconds, startRss, MaxRssKb());
    return 0;
}

struct OursResult {
    double wall;
    long startRssKb, maxRssKb;
};

OursResult RunOurs(int d, int workers, const std::string& batch, const std::string& out) {
    OursResult r{};
    std::string text = Capture({"/proc/self/exe", "ours", kDirectionArg[d], std::to_string(workers), batch, out});
    if (sscanf(text.c_str(), "%lf %ld %ld", &r.wall, &r.startRssKb, &r.maxRssKb) != 3) Fail("ours", "output");
    return r;
}

// ---- peers ------------------------------------------------------------------

double RunTools(int d, const std::string& batch, const std::string& out) {
    std::vector<std::string> names = ListFiles(batch + "/" + SourceKind(d), SourceKind(d));
    double start = Now();
    for (const std::string& n : names) {
        std::string source = batch + "/" + SourceKind(d) + "/" + n + "." + SourceKind(d);
        std::string target = out + "/" + n + "." + TargetKind(d);
        if (d == kJpgToBmp)
            Wait(Spawn({"djpeg", "-bmp", "-outfile", target, source}, -1, -1), "djpeg");
        else if (d == kJpgToJpg)
            Wait(Spawn({"sh", "-c", "djpeg \"$1\" | cjpeg -baseline -quality " + std::to_string(kQuality) + " -outfile \"$2\"",
                        "sh", source, target},
                       -1, -1),
                 "djpeg | cjpeg");
        else
            Wait(Spawn({"cjpeg", "-baseline", "-quality", std::to_string(kQuality), "-outfile", target, source}, -1, -1),
                 "cjpeg");
    }
    return Now() - start;
}

double RunPillow(int d, const std::string& batch, const std::string& out) {
    const char* python = getenv("BENCH_PYTHON");
    std::string text =
        Capture({python ? python : "/usr/bin/python3", PILLOW_SCRIPT, kDirectionArg[d], batch, out, std::to_string(kQuality)});
    double wall = 0;
    if (sscanf(text.c_str(), "%lf", &wall) != 1) Fail("pillow", "output");
    return wall;
}

double Megapixels(const std::string& batch) {
    double mp = 0;
    for (const std::string& n : ListFiles(batch + "/bmp", "bmp")) {
        FILE* f = fopen((batch + "/bmp/" + n + ".bmp").c_str(), "rb");
        unsigned char h[26] = {};
        if (!f || fread(h, 1, sizeof h, f) != sizeof h) Fail("cannot read", n);
        fclose(f);
        int32_t w, ht;
        memcpy(&w, h + 18, 4);
        memcpy(&ht, h + 22, 4);
        mp += std::abs(static_cast<double>(w) * ht) / 1e6;
    }
    return mp;
}

enum { kOne, kAll, kTools, kPillow, kContenders };

int Run(const std::string& batch, int reps) {
    std::vector<std::string> jpgs = ListFiles(batch + "/jpg", "jpg");
    if (jpgs.empty() || jpgs != ListFiles(batch + "/bmp", "bmp")) Fail("need the same names in jpg/ and bmp/ under", batch);
    const int cores = ProcessorCount();
    const double mp = Megapixels(batch);
    double best[kDirections][kContenders];
    long peak[kDirections][2] = {}, start[kDirections][2] = {};
    for (auto& row : best) std::fill(row, row + kContenders, 1e30);
    for (int rep = 0; rep <= reps; ++rep) {  // round 0 warms caches, rounds interleave contenders
        fprintf(stderr, "\rbatch %s %d/%d", rep == 0 ? "warm-up" : "round", rep, reps);
        for (int d = 0; d < kDirections; ++d)
            for (int c = 0; c < kContenders; ++c) {
                std::string out = batch + "/out";
                EmptyFolder(out);
                double wall;
                if (c == kOne || c == kAll) {
                    OursResult r = RunOurs(d, c == kOne ? 1 : 0, batch, out);
                    wall = r.wall;
                    peak[d][c] = std::max(peak[d][c], r.maxRssKb);
                    start[d][c] = r.startRssKb;
                } else {
                    wall = c == kTools ? RunTools(d, batch, out) : RunPillow(d, batch, out);
                }
                if (rep > 0) best[d][c] = std::min(best[d][c], wall);
            }
    }
    fprintf(stderr, "\r                         \r");
    printf("\nBatch: a folder of %zu photographs, %.1f megapixels, through the conversion pool as the folder\n"
           "commands run it; %d processors. Best of %d after a warm-up; megapixels per second, wall time.\n"
           "Peak RSS of the process; per worker: its growth from before the pool, over the workers.\n\n",
           jpgs.size(), mp, cores, reps);
    const char* label[kContenders] = {"ours, 1 worker", "", "", "Pillow: open, load, save (one process)"};
    const char* tools[kDirections] = {"djpeg -bmp, one process per file", "cjpeg -baseline, one process per file",
                                      "djpeg | cjpeg -baseline, 2 processes per file"};
    char all[64];
    snprintf(all, sizeof all, "ours, %d workers (one per processor)", cores);
    printf("%-48s %10s %8s %10s %12s\n", "direction / contender", "MP/s", "ms", "peak RSS", "per worker");
    for (int d = 0; d < kDirections; ++d) {
        printf("%s\n", kDirectionTitle[d]);
        for (int c = 0; c < kContenders; ++c) {
            const char* name = c == kAll ? all : c == kTools ? tools[d] : label[c];
            printf("  %-46s %10.1f %8.0f", name, mp / best[d][c], best[d][c] * 1e3);
            if (c <= kAll)
                printf(" %7.1f MiB %8.1f MiB", peak[d][c] / 1024.0,
                       (peak[d][c] - start[d][c]) / 1024.0 / (c == kOne ? 1 : cores));
            printf("\n");
        }
        double peer = std::min(best[d][kTools], best[d][kPillow]);
        printf("  %-46s %9.2fx   (goal >= 1.8x)\n", "all workers / fastest peer", peer / best[d][kAll]);
        printf("  %-46s %9.2fx   (goal >= %.1fx = 0.9 x %d processors)\n\n", "all workers / 1 worker",
               best[d][kOne] / best[d][kAll], 0.9 * cores, cores);
    }
    return 0;
}

int DirectionFrom(const char* arg) {
    for (int d = 0; d < kDirections; ++d)
        if (strcmp(arg, kDirectionArg[d]) == 0) return d;
    Fail("unknown direction", arg);
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 3 || argc == 4) && strcmp(argv[1], "run") == 0) return Run(argv[2], argc == 4 ? atoi(argv[3]) : 5);
    if (argc == 6 && strcmp(argv[1], "ours") == 0)
        return OursChild(DirectionFrom(argv[2]), atoi(argv[3]), argv[4], argv[5]);
    fprintf(stderr,
            "usage: tolvane_batch_bench run BATCHDIR [REPS]\n"
            "       tolvane_batch_bench ours DIRECTION WORKERS BATCHDIR OUTDIR\n");
    return 2;
}
