// Times whole folders the way the folder commands convert them: each file a
// job of the conversion pool, one worker against one per processor, beside
// a loop of djpeg/cjpeg processes and Pillow looping in one process.
//
//   tolvane_batch_bench run BATCHDIR [REPS]   BATCHDIR/jpg/*.jpg, BATCHDIR/bmp/*.bmp
//   tolvane_batch_bench ours DIRECTION WORKERS BATCHDIR OUTDIR
//                                             one batch in a fresh process,
//                                             so its peak RSS is its own
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "convert_pool.h"

namespace {

const int kQuality = 75;
enum { kJpgToBmp, kBmpToJpg, kDirections };
const char* kDirectionArg[kDirections] = {"jpg2bmp", "bmp2jpg"};
const char* kDirectionTitle[kDirections] = {"JPEG -> BMP", "BMP -> JPEG (quality 75, baseline)"};
const char* SourceKind(int d) { return d == kBmpToJpg ? "bmp" : "jpg"; }
const char* TargetKind(int d) { return d == kJpgToBmp ? "bmp" : "jpg"; }

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "batch bench: %s %s\n", what, detail.c_str());
    exit(1);
}

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& kind) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) Fail("cannot list", dir);
    const std::string suffix = "." + kind;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(n.substr(0, n.size() - suffix.size()));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

void EmptyFolder(const std::string& dir) {
    mkdir(dir.c_str(), 0755);
    for (const char* kind : {"bmp", "jpg"})
        for (const std::string& n : ListFiles(dir, kind)) unlink((dir + "/" + n + "." + kind).c_str());
    sync();
}

pid_t Spawn(const std::vector<std::string>& args, int out) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) Fail("cannot start", args[0]);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Wait(pid_t pid, const char* what) {
    int status;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("failed:", what);
}

std::string Capture(const std::vector<std::string>& args) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) Fail("pipe", "");
    pid_t pid = Spawn(args, p[1]);
    close(p[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(p[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(p[0]);
    Wait(pid, args[0].c_str());
    return text;
}

long MaxRssKb() {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) Fail("cannot read", "/proc/self/status");
    char line[256];
    long kb = -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
    fclose(f);
    return kb;
}

// ---- ours: the pool fed file by file, as a folder search feeds it ----------

int OursChild(int d, int workers, const std::string& batch, const std::string& out) {
    std::vector<std::string> names = ListFiles(batch + "/" + SourceKind(d), SourceKind(d));
    double start = Now();
    ConvertPool* pool = StartPool(workers, nullptr, nullptr);
    for (const std::string& n : names) {
        PoolJob job = {};
        job.run = d == kJpgToBmp ? RunJpgToBmpJob : RunBmpToJpgJob;
        job.quality = kQuality;
        std::string source = batch + "/" + SourceKind(d) + "/" + n + "." + SourceKind(d);
        std::string target = out + "/" + n + "." + TargetKind(d);
        if (!CopyString(job.source, source.c_str()) || !CopyString(job.target, target.c_str())) Fail("path too long", n);
        AddPoolJob(pool, job);
    }
    PoolSummary summary = FinishPool(pool);
    double seconds = Now() - start;
    if (summary.failed) Fail("ours failed on", summary.firstFailed.source);
    printf("%.6f %ld\n", seconds, MaxRssKb());
    return 0;
}

struct OursResult {
    double wall;
    long maxRssKb;
};

OursResult RunOurs(int d, int workers, const std::string& batch, const std::string& out) {
    OursResult r{};
    std::string text = Capture({"/proc/self/exe", "ours", kDirectionArg[d], std::to_string(workers), batch, out});
    if (sscanf(text.c_str(), "%lf %ld", &r.wall, &r.maxRssKb) != 2) Fail("ours", "output");
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
            Wait(Spawn({"djpeg", "-bmp", "-outfile", target, source}, -1), "djpeg");
        else
            Wait(Spawn({"cjpeg", "-baseline", "-quality", std::to_string(kQuality), "-outfile", target, source}, -1),
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
    long peak[kDirections][2] = {};
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
                } else {
                    wall = c == kTools ? RunTools(d, batch, out) : RunPillow(d, batch, out);
                }
                if (rep > 0) best[d][c] = std::min(best[d][c], wall);
            }
    }
    fprintf(stderr, "\r                         \r");
    printf("\nBatch: a folder of %zu photographs, %.1f megapixels, through the conversion pool as the folder\n"
           "commands run it; %d processors. Best of %d after a warm-up; megapixels per second, wall time.\n\n",
           jpgs.size(), mp, cores, reps);
    const char* label[kContenders] = {"ours, 1 worker", "", "", "Pillow: open, load, save (one process)"};
    const char* tools[kDirections] = {"djpeg -bmp, one process per file", "cjpeg -baseline, one process per file"};
    char all[64];
    snprintf(all, sizeof all, "ours, %d workers (one per processor)", cores);
    printf("%-48s %10s %8s %10s\n", "direction / contender", "MP/s", "ms", "peak RSS");
    for (int d = 0; d < kDirections; ++d) {
        printf("%s\n", kDirectionTitle[d]);
        for (int c = 0; c < kContenders; ++c) {
            const char* name = c == kAll ? all : c == kTools ? tools[d] : label[c];
            printf("  %-46s %10.1f %8.0f", name, mp / best[d][c], best[d][c] * 1e3);
            if (c <= kAll) printf(" %7.1f MiB", peak[d][c] / 1024.0);
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
