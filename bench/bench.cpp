// Times the three conversion primitives against what a user would run
// instead (djpeg/cjpeg, Pillow) and against raw TurboJPEG in memory, on the
// same files, and prints one table of megapixels per second.
//
//   tolvane_bench make-synthetic DIR         writes the generated JPEGs
//   tolvane_bench run WORKDIR [REPS]         WORKDIR/jpg/*.jpg, WORKDIR/bmp/*.bmp
//   tolvane_bench ours DIRECTION WORKDIR OUTDIR [ONLY]
//                                            one batch of ours in a fresh
//                                            process, so its peak RSS is ours alone
//   tolvane_bench claims DIR [REPS]          writes small files claiming huge
//                                            pictures into DIR, times their refusal
//   tolvane_bench refuse JPEG OUTDIR         one refusal in a fresh process
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <turbojpeg.h>

#include "bench_support.h"
#include "blocks.h"
#include "convert.h"
#include "file_io.h"
#include "image.h"
#include "imgctl.h"

namespace {

const int kQuality = 75;

enum Direction { kJpgToBmp, kBmpToJpg, kBmpToJpgProgressive, kJpgToJpg, kDirections };
const char* const kDirectionArg[] = {"jpg2bmp", "bmp2jpg", "bmp2jpg-progressive", "jpg2jpg"};
const char* const kDirectionTitle[] = {"JPEG -> BMP", "BMP -> JPEG, baseline q75",
                                       "BMP -> JPEG, progressive q75", "JPEG -> JPEG re-encode, baseline q75"};
const char* SourceKind(int d) { return d == kBmpToJpg || d == kBmpToJpgProgressive ? "bmp" : "jpg"; }
const char* TargetKind(int d) { return d == kJpgToBmp ? "bmp" : "jpg"; }

enum Contender { kOurs, kTool, kPillow, kCeiling, kContenders };
const char* const kContenderName[] = {"ours", "tools", "pillow", "ceiling"};

struct Timing {
    double wall = 0, cpu = 0;
};

std::vector<uint8_t> ReadFile(const std::string& path) {
    uint8_t* data;
    size_t size;
    if (!ReadWholeFile(path.c_str(), uint64_t(1) << 32, &data, &size)) Fail("cannot read", path);
    std::vector<uint8_t> bytes(data, data + size);
    GiveBlock(data);
    return bytes;
}

// ---- ours --------------------------------------------------------------------

bool ConvertOne(int d, const std::string& source, const std::string& target) {
    switch (d) {
        case kJpgToBmp: return ConvertJpgToBmp(target.c_str(), source.c_str()) == 1;
        case kBmpToJpg: return ConvertBmpToJpg(target.c_str(), source.c_str(), kQuality, 0) == 1;
        case kBmpToJpgProgressive: return ConvertBmpToJpg(target.c_str(), source.c_str(), kQuality, 1) == 1;
        default: return ConvertJpgToJpg(source.c_str(), target.c_str(), kQuality, 0) == 1;
    }
}

int OursChild(int d, const std::string& work, const std::string& out, const std::string& only) {
    long startRss = MaxRssKb();
    std::vector<std::string> names = ListFiles(work + "/" + SourceKind(d), SourceKind(d));
    if (!only.empty()) names.assign(1, only);
    long faultsStart = MinorFaults();
    double start = Now(), cpuStart = CpuNow();
    for (const std::string& n : names)
        if (!ConvertOne(d, work + "/" + SourceKind(d) + "/" + n + "." + SourceKind(d), out + "/" + n + "." + TargetKind(d)))
            Fail("ours failed on", n);
    double seconds = Now() - start, cpu = CpuNow() - cpuStart;
    printf("%.6f %.6f %ld %ld %ld\n", seconds, cpu, startRss, MaxRssKb(), MinorFaults() - faultsStart);
    return 0;
}

struct OursResult {
    Timing time;
    long startRssKb, maxRssKb, faults;
};

OursResult RunOurs(int d, const std::string& work, const std::string& out, const std::string& only = "") {
    std::vector<std::string> args = {"/proc/self/exe", "ours", kDirectionArg[d], work, out};
    if (!only.empty()) args.push_back(only);
    OursResult r{};
    if (sscanf(Capture(args).c_str(), "%lf %lf %ld %ld %ld", &r.time.wall, &r.time.cpu, &r.startRssKb, &r.maxRssKb,
               &r.faults) != 5)
        Fail("ours", "output");
    return r;
}

// ---- peers -------------------------------------------------------------------

// One process per file, as a user runs them; for re-encoding, djpeg's PPM
// piped into cjpeg (both processes run at once, so the pair may use both cores).
Timing RunTools(int d, const std::string& work, const std::string& out) {
    std::vector<std::string> names = ListFiles(work + "/" + SourceKind(d), SourceKind(d));
    const std::string q = std::to_string(kQuality);
    Timing t;
    double start = Now();
    for (const std::string& n : names) {
        std::string source = work + "/" + SourceKind(d) + "/" + n + "." + SourceKind(d);
        std::string target = out + "/" + n + "." + TargetKind(d);
        if (d == kJpgToBmp) {
            t.cpu += Wait(Spawn({"djpeg", "-bmp", "-outfile", target, source}, -1, -1), "djpeg");
        } else if (d == kJpgToJpg) {
            int p[2];
            if (pipe2(p, O_CLOEXEC) != 0) Fail("pipe", "");
            pid_t decoder = Spawn({"djpeg", source}, -1, p[1]);
            close(p[1]);
            pid_t encoder = Spawn({"cjpeg", "-baseline", "-quality", q, "-outfile", target}, p[0], -1);
            close(p[0]);
            t.cpu += Wait(decoder, "djpeg");
            t.cpu += Wait(encoder, "cjpeg");
        } else {
            std::vector<std::string> args = {"cjpeg", "-baseline", "-quality", q};
            if (d == kBmpToJpgProgressive) args.push_back("-progressive");
            args.insert(args.end(), {"-outfile", target, source});
            t.cpu += Wait(Spawn(args, -1, -1), "cjpeg");
        }
    }
    t.wall = Now() - start;
    return t;
}

std::string Python() {
    const char* p = getenv("BENCH_PYTHON");
    return p ? p : "/usr/bin/python3";
}

Timing RunPillow(int d, const std::string& work, const std::string& out) {
    std::string text = Capture({Python(), PILLOW_SCRIPT, kDirectionArg[d], work, out, std::to_string(kQuality)});
    Timing t;
    if (sscanf(text.c_str(), "%lf %lf", &t.wall, &t.cpu) != 2) Fail("pillow", "output");
    return t;
}

// What process creation alone costs per file for the command-line peers.
double StartupSeconds() {
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        double start = Now();
        Wait(Spawn({"djpeg", "-version"}, -1, -1, true), "djpeg -version");
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// ---- the ceiling: TurboJPEG in memory, buffers made once ------------------------

struct Ceiling {
    tjhandle decoder = tjInitDecompress();
    tjhandle encoder = tjInitCompress();
    std::vector<std::vector<uint8_t>> jpegs;
    std::vector<int> widths, heights;
    std::vector<std::vector<uint8_t>> pixels;  // BGR, top-down, unpadded
    std::vector<unsigned char*> outputs;

    explicit Ceiling(const std::string& work) {
        for (const std::string& n : ListFiles(work + "/jpg", "jpg")) {
            jpegs.push_back(ReadFile(work + "/jpg/" + n + ".jpg"));
            int w, h, sub, space;
            if (tjDecompressHeader3(decoder, jpegs.back().data(), jpegs.back().size(), &w, &h, &sub, &space) != 0)
                Fail("bad JPEG", n);
            widths.push_back(w);
            heights.push_back(h);
            pixels.emplace_back(static_cast<size_t>(w) * h * 3);
            outputs.push_back(tjAlloc(static_cast<int>(tjBufSize(w, h, TJSAMP_420))));
            Decode(jpegs.size() - 1);
        }
    }
    void Decode(size_t i) {
        if (tjDecompress2(decoder, jpegs[i].data(), jpegs[i].size(), pixels[i].data(), widths[i], 0, heights[i],
                          TJPF_BGR, TJFLAG_ACCURATEDCT) != 0)
            Fail("tjDecompress2", tjGetErrorStr2(decoder));
    }
    // TurboJPEG's own default below quality 96 is the fast forward DCT; ours,
    // cjpeg and Pillow use the accurate one, so the ceiling does too.
    void Encode(size_t i, bool progressive, bool fastDct = false) {
        unsigned char* out = outputs[i];
        unsigned long size = tjBufSize(widths[i], heights[i], TJSAMP_420);
        int flags = TJFLAG_NOREALLOC | (progressive ? TJFLAG_PROGRESSIVE : 0) | (fastDct ? 0 : TJFLAG_ACCURATEDCT);
        if (tjCompress2(encoder, pixels[i].data(), widths[i], 0, heights[i], TJPF_BGR, &out, &size, TJSAMP_420,
                        kQuality, flags) != 0)
            Fail("tjCompress2", tjGetErrorStr2(encoder));
    }
    Timing Run(int d) {
        Timing t;
        double start = Now(), cpuStart = CpuNow();
        for (size_t i = 0; i < jpegs.size(); ++i) {
            if (d == kJpgToBmp || d == kJpgToJpg) Decode(i);
            if (d != kJpgToBmp) Encode(i, d == kBmpToJpgProgressive);
        }
        t.wall = Now() - start;
        t.cpu = CpuNow() - cpuStart;
        return t;
    }
    // The same decode into a buffer freshly allocated for each file, as any
    // file-to-file converter must: shows what first-touch page faults cost.
    double RunFreshDecode() {
        double start = CpuNow();
        for (size_t i = 0; i < jpegs.size(); ++i) {
            uint8_t* fresh = static_cast<uint8_t*>(malloc(pixels[i].size()));
            tjDecompress2(decoder, jpegs[i].data(), jpegs[i].size(), fresh, widths[i], 0, heights[i], TJPF_BGR,
                          TJFLAG_ACCURATEDCT);
            free(fresh);
        }
        return CpuNow() - start;
    }
    double RunFastDctEncode() {
        double start = CpuNow();
        for (size_t i = 0; i < jpegs.size(); ++i) Encode(i, false, true);
        return CpuNow() - start;
    }
    double Megapixels() const {
        double sum = 0;
        for (size_t i = 0; i < widths.size(); ++i) sum += double(widths[i]) * heights[i];
        return sum / 1e6;
    }
};

// ---- where our time goes: the codec's own steps, timed one by one ------------

enum Step {
    kReadJpeg, kDecodeJpeg, kLoadJpeg, kSaveBmp, kPlainWrite, kLoadBmp, kReadBmpReused, kSaveJpeg,
    kSaveJpegProgressive, kSteps
};
const char* const kStepName[] = {
    "ReadWholeFile of the JPEGs (not used by JPGtoDIB)",
    "DecodeJpeg from memory (allocates the image)",
    "JPGtoDIB (reads the file piece by piece, decodes)",
    "DIBtoBMP (temp file, write, rename)",
    "floor: one write() of the same bytes to a new file",
    "BMPtoDIB (read whole file, decode in place)",
    "one read() of each BMP into one reused buffer",
    "DIBtoJPG baseline q75",
    "DIBtoJPG progressive q75",
};

void TimeSteps(const std::string& work, const std::string& out, double best[kSteps]) {
    std::vector<std::string> names = ListFiles(work + "/jpg", "jpg");
    std::vector<std::vector<uint8_t>> jpegs;
    for (const std::string& n : names) jpegs.push_back(ReadFile(work + "/jpg/" + n + ".jpg"));
    double t[kSteps] = {};
    auto add = [&](Step s, double start) { t[s] += CpuNow() - start; };
    std::vector<uint8_t> reused;
    EmptyFolder(out);
    for (size_t i = 0; i < names.size(); ++i) {
        std::string jpg = work + "/jpg/" + names[i] + ".jpg", bmp = work + "/bmp/" + names[i] + ".bmp";
        double start = CpuNow();
        uint8_t* data;
        size_t size;
        if (!ReadWholeFile(jpg.c_str(), uint64_t(1) << 30, &data, &size)) Fail("read", jpg);
        add(kReadJpeg, start);
        GiveBlock(data);

        start = CpuNow();
        FreeImage(DecodeJpeg(jpegs[i].data(), jpegs[i].size()));
        add(kDecodeJpeg, start);

        start = CpuNow();
        ImageHandle image = JPGtoDIB(jpg.c_str());
        add(kLoadJpeg, start);
        start = CpuNow();
        if (DIBtoBMP((out + "/" + names[i] + ".bmp").c_str(), image) != 1) Fail("DIBtoBMP", names[i]);
        add(kSaveBmp, start);
        const Image* im = reinterpret_cast<const Image*>(image);
        size_t bytes = 54 + im->stride * static_cast<size_t>(im->height);
        start = CpuNow();
        int f = open((out + "/" + names[i] + ".plain").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (f < 0 || write(f, im->bits, bytes - 54) != static_cast<ssize_t>(bytes - 54)) Fail("write", names[i]);
        close(f);
        add(kPlainWrite, start);
        unlink((out + "/" + names[i] + ".plain").c_str());
        DeleteDIB(image);

        start = CpuNow();
        image = BMPtoDIB(bmp.c_str());
        add(kLoadBmp, start);
        if (!image) Fail("BMPtoDIB", bmp);
        const Image* loaded = reinterpret_cast<const Image*>(image);
        size_t fileBytes = 54 + loaded->stride * static_cast<size_t>(loaded->height);
        if (reused.size() < fileBytes) reused.resize(fileBytes);
        start = CpuNow();
        f = open(bmp.c_str(), O_RDONLY);
        if (f < 0 || read(f, reused.data(), fileBytes) != static_cast<ssize_t>(fileBytes)) Fail("read", bmp);
        close(f);
        add(kReadBmpReused, start);
        start = CpuNow();
        if (DIBtoJPG((out + "/" + names[i] + ".jpg").c_str(), image, kQuality, 0) != 1) Fail("DIBtoJPG", names[i]);
        add(kSaveJpeg, start);
        start = CpuNow();
        if (DIBtoJPG((out + "/" + names[i] + ".jpg").c_str(), image, kQuality, 1) != 1) Fail("DIBtoJPG", names[i]);
        add(kSaveJpegProgressive, start);
        DeleteDIB(image);
    }
    for (int s = 0; s < kSteps; ++s) best[s] = std::min(best[s], t[s]);
}

// ---- generated images ---------------------------------------------------------

// A smooth gradient under strong noise (hard to compress) and an odd-width
// 4:4:4 image (padded BMP rows, full-resolution chroma).
void MakeSynthetic(const std::string& dir) {
    struct Picture {
        const char* name;
        int width, height, subsampling, quality, noise;
    };
    const Picture pictures[] = {{"synthetic-noise-2000x1500", 2000, 1500, TJSAMP_420, 90, 48},
                          {"synthetic-odd-1001x751-444", 1001, 751, TJSAMP_444, 95, 8}};
    tjhandle encoder = tjInitCompress();
    uint32_t seed = 12345;
    for (const Picture& s : pictures) {
        std::vector<uint8_t> bgr(static_cast<size_t>(s.width) * s.height * 3);
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                uint8_t* p = &bgr[(static_cast<size_t>(y) * s.width + x) * 3];
                double base[3] = {255.0 * x / s.width, 255.0 * y / s.height,
                                  127.5 + 127.5 * std::sin(x * 0.013) * std::cos(y * 0.021)};
                for (int c = 0; c < 3; ++c) {
                    seed = seed * 1664525u + 1013904223u;
                    int v = static_cast<int>(base[c]) + static_cast<int>(seed >> 24) % (s.noise + 1) - s.noise / 2;
                    p[c] = static_cast<uint8_t>(std::clamp(v, 0, 255));
                }
            }
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(encoder, bgr.data(), s.width, 0, s.height, TJPF_BGR, &jpeg, &size, s.subsampling, s.quality,
                        0) != 0)
            Fail("tjCompress2", tjGetErrorStr2(encoder));
        std::string path = dir + "/" + s.name + ".jpg";
        FILE* f = fopen(path.c_str(), "wb");
        if (!f || fwrite(jpeg, 1, size, f) != size || fclose(f) != 0) Fail("cannot write", path);
        tjFree(jpeg);
    }
    tjDestroy(encoder);
}

// ---- the run and the table -------------------------------------------------------

int Run(const std::string& work, int reps) {
    std::vector<std::string> jpgs = ListFiles(work + "/jpg", "jpg"), bmps = ListFiles(work + "/bmp", "bmp");
    if (jpgs.empty() || jpgs != bmps) Fail("need the same names in jpg/ and bmp/ under", work);
    Ceiling ceiling(work);
    const double mp = ceiling.Megapixels();
    size_t largest = 0;
    for (size_t i = 0; i < jpgs.size(); ++i)
        if (double(ceiling.widths[i]) * ceiling.heights[i] > double(ceiling.widths[largest]) * ceiling.heights[largest])
            largest = i;

    Timing best[kDirections][kContenders];
    for (auto& row : best)
        for (Timing& t : row) t.wall = t.cpu = 1e30;
    long startRss = 0, peakRss[kDirections] = {}, faults[kDirections] = {};
    // Round 0 warms the page cache and the binaries; rounds interleave the
    // contenders so that background load falls on all of them alike.
    for (int rep = 0; rep <= reps; ++rep) {
        fprintf(stderr, "\r%s %d/%d", rep == 0 ? "warm-up" : "round", rep, reps);
        for (int d = 0; d < kDirections; ++d)
            for (int c = 0; c < kContenders; ++c) {
                std::string out = work + "/out-" + kContenderName[c];
                EmptyFolder(out);
                Timing t;
                if (c == kOurs) {
                    OursResult r = RunOurs(d, work, out);
                    t = r.time;
                    startRss = r.startRssKb;
                    peakRss[d] = std::max(peakRss[d], r.maxRssKb);
                    faults[d] = r.faults;
                } else if (c == kTool) {
                    t = RunTools(d, work, out);
                } else if (c == kPillow) {
                    t = RunPillow(d, work, out);
                } else {
                    t = ceiling.Run(d);
                }
                if (rep == 0) continue;
                best[d][c].wall = std::min(best[d][c].wall, t.wall);
                best[d][c].cpu = std::min(best[d][c].cpu, t.cpu);
            }
    }
    double steps[kSteps];
    std::fill(steps, steps + kSteps, 1e30);
    double freshDecode = 1e30, fastEncode = 1e30;
    for (int rep = 0; rep < std::max(reps, 3); ++rep) {
        TimeSteps(work, work + "/out-steps", steps);
        freshDecode = std::min(freshDecode, ceiling.RunFreshDecode());
        fastEncode = std::min(fastEncode, ceiling.RunFastDctEncode());
    }
    long singleRss[kDirections];
    for (int d = 0; d < kDirections; ++d) {
        EmptyFolder(work + "/out-ours");
        singleRss[d] = RunOurs(d, work, work + "/out-ours", jpgs[largest]).maxRssKb;
    }
    const double startup = StartupSeconds();
    fprintf(stderr, "\r                    \r");

    printf("Tolvane conversion benchmark: %zu images, %.1f megapixels per batch; best of %d batches after a warm-up\n",
           jpgs.size(), mp, reps);
    printf("Encodes: quality 75, 4:2:0, baseline tables. Megapixels per second over the whole batch (higher is better).\n\n");
    const char* label[kContenders] = {"ours: primitive called in process", "", "Pillow: open, load, save (one process)",
                                      ""};
    const char* toolLabel[kDirections] = {"djpeg -bmp, one process per file", "cjpeg -baseline, one process per file",
                                          "cjpeg -baseline -progressive, 1 process/file",
                                          "djpeg | cjpeg -baseline, 2 processes/file"};
    const char* ceilingLabel[kDirections] = {"ceiling: tjDecompress2 to BGR, in memory",
                                             "ceiling: tjCompress2 from BGR, in memory",
                                             "ceiling: tjCompress2 progressive, in memory",
                                             "ceiling: tjDecompress2 + tjCompress2, in memory"};
    printf("Wall: elapsed time of the batch (what a user waits). CPU: user + system time of the process(es)\n"
           "doing the work; steadier than wall time when other work shares the machine.\n\n");
    printf("%-48s %10s %8s %10s %8s\n", "direction / contender", "wall MP/s", "wall ms", "CPU MP/s", "CPU ms");
    for (int d = 0; d < kDirections; ++d) {
        printf("%s\n", kDirectionTitle[d]);
        for (int c = 0; c < kContenders; ++c) {
            const char* name = c == kTool ? toolLabel[d] : c == kCeiling ? ceilingLabel[d] : label[c];
            const Timing& t = best[d][c];
            printf("  %-46s %10.1f %8.0f %10.1f %8.0f\n", name, mp / t.wall, t.wall * 1e3, mp / t.cpu, t.cpu * 1e3);
        }
        const Timing& ours = best[d][kOurs];
        double peerWall = std::min(best[d][kTool].wall, best[d][kPillow].wall);
        double peerCpu = std::min(best[d][kTool].cpu, best[d][kPillow].cpu);
        printf("  %-46s %9.2fx %8s %9.2fx   (goal >= 1.0x, aim 1.1x)\n", "ours / fastest peer (speed ratio)",
               peerWall / ours.wall, "", peerCpu / ours.cpu);
        printf("  %-46s %9.2fx %8s %9.2fx   (share of the in-memory speed)\n\n", "ours / ceiling",
               best[d][kCeiling].wall / ours.wall, "", best[d][kCeiling].cpu / ours.cpu);
    }

    const double decoded = double(ceiling.widths[largest]) * ceiling.heights[largest] * 3 / 1048576.0;
    printf("Memory (peak RSS of a fresh process running ours; largest image %dx%d = %.1f MiB decoded):\n",
           ceiling.widths[largest], ceiling.heights[largest], decoded);
    printf("  %-46s %9.1f MiB\n", "process before any conversion", startRss / 1024.0);
    for (int d = 0; d < kDirections; ++d)
        printf("  %-36s all %2zu files %6.1f MiB, largest alone %6.1f MiB = %.2f decoded images\n",
               kDirectionTitle[d], jpgs.size(), peakRss[d] / 1024.0, singleRss[d] / 1024.0,
               singleRss[d] / 1024.0 / decoded);
    printf("Page faults of ours per batch (first touches of fresh memory; %.0f MiB of pixels = %.0f pages):\n",
           mp * 3 / 1.048576, mp * 3e6 / 4096);
    for (int d = 0; d < kDirections; ++d) printf("  %-46s %9ld\n", kDirectionTitle[d], faults[d]);

    printf("\nWhere our time goes (codec steps one by one over the batch, CPU ms, best of %d):\n", std::max(reps, 3));
    for (int s = 0; s < kSteps; ++s) printf("  %-52s %7.0f ms\n", kStepName[s], steps[s] * 1e3);
    printf("  %-52s %7.0f ms\n", "ceiling decode (buffers reused)", best[kJpgToBmp][kCeiling].cpu * 1e3);
    printf("  %-52s %7.0f ms\n", "ceiling decode into a fresh malloc per file", freshDecode * 1e3);
    printf("  %-52s %7.0f ms\n", "ceiling baseline encode", best[kBmpToJpg][kCeiling].cpu * 1e3);
    printf("  %-52s %7.0f ms\n", "ceiling baseline encode, fast DCT (not the same work)", fastEncode * 1e3);
    printf("  %-52s %7.0f ms\n", "ceiling progressive encode", best[kBmpToJpgProgressive][kCeiling].cpu * 1e3);
    printf("\nProcess start-up (djpeg -version): %.1f ms per process, %.0f ms per batch of %zu files;\n"
           "the djpeg/cjpeg figures include it, as a user running them per file pays it.\n",
           startup * 1e3, startup * 1e3 * jpgs.size(), jpgs.size());
    return 0;
}

// ---- files claiming huge pictures -------------------------------------------

// A 48x48 picture coded by cjpeg, its frame header then changed to claim a
// huge one: the data ends long before the claimed picture does.
struct Claim {
    const char* name;
    const char* what;
    std::vector<std::string> options;
    int width, height;
};
const Claim kClaims[] = {
    {"claim-progressive", "progressive", {"-progressive"}, 20000, 20000},
    {"claim-progressive-2", "progressive", {"-progressive"}, 26000, 27000},
    {"claim-scans", "sequential, three scans", {"-scans", "SCANS"}, 26000, 27000},
    {"claim-baseline", "baseline, odd width", {"-baseline"}, 20001, 26000},
};

void MakeClaims(const std::string& dir) {
    std::string ppm = dir + "/small.ppm", scans = dir + "/scans.txt";
    FILE* f = fopen(ppm.c_str(), "wb");
    if (!f) Fail("cannot write", ppm);
    fprintf(f, "P6\n48 48\n255\n");
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) fprintf(f, "%c%c%c", x * 5, y * 5, (x * y) & 0xFF);
    fclose(f);
    f = fopen(scans.c_str(), "w");
    if (!f) Fail("cannot write", scans);
    fprintf(f, "0;\n1;\n2;\n");
    fclose(f);
    for (const Claim& c : kClaims) {
        std::string jpeg = dir + "/" + c.name + ".jpg";
        std::vector<std::string> args = {"cjpeg"};
        for (const std::string& o : c.options) args.push_back(o == "SCANS" ? scans : o);
        args.insert(args.end(), {"-outfile", jpeg, ppm});
        Wait(Spawn(args, -1, -1), "cjpeg");
        std::vector<uint8_t> bytes = ReadFile(jpeg);
        size_t at = 2;
        while (at + 9 < bytes.size() && !(bytes[at] == 0xFF && (bytes[at + 1] & 0xF0) == 0xC0 && bytes[at + 1] != 0xC4))
            ++at;
        if (at + 9 >= bytes.size()) Fail("no frame header in", jpeg);
        bytes[at + 5] = uint8_t(c.height >> 8), bytes[at + 6] = uint8_t(c.height);
        bytes[at + 7] = uint8_t(c.width >> 8), bytes[at + 8] = uint8_t(c.width);
        f = fopen(jpeg.c_str(), "wb");
        if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) Fail("cannot write", jpeg);
    }
}

int RefuseChild(const std::string& jpeg, const std::string& out) {
    double start = Now();
    int status = ConvertJpgToBmp((out + "/refused.bmp").c_str(), jpeg.c_str());
    printf("%.6f %ld %d\n", Now() - start, MaxRssKb(), status);
    return 0;
}

int RunClaims(const std::string& dir, int reps) {
    MakeClaims(dir);
    printf("Files claiming huge pictures, JPEG -> BMP in a fresh process (best time, highest peak RSS of %d):\n", reps);
    printf("  %-28s %8s %13s %10s %10s %s\n", "file", "bytes", "claims", "ms", "peak RSS", "result");
    for (const Claim& c : kClaims) {
        std::string jpeg = dir + "/" + c.name + ".jpg";
        double best = 1e30;
        long peak = 0;
        int status = -1;
        for (int rep = 0; rep < reps; ++rep) {
            double wall;
            long rss;
            if (sscanf(Capture({"/proc/self/exe", "refuse", jpeg, dir}).c_str(), "%lf %ld %d", &wall, &rss, &status) != 3)
                Fail("refuse", "output");
            best = std::min(best, wall);
            peak = std::max(peak, rss);
        }
        char claim[32];
        snprintf(claim, sizeof claim, "%dx%d", c.width, c.height);
        printf("  %-28s %8zu %13s %10.1f %6.1f MiB %s\n", c.what, ReadFile(jpeg).size(), claim, best * 1e3,
               peak / 1024.0, status == 0 ? "refused" : "ACCEPTED");
    }
    printf("  (goal: each refused within 200 ms and 16 MiB)\n");
    return 0;
}

int DirectionFrom(const char* arg) {
    for (int d = 0; d < kDirections; ++d)
        if (strcmp(arg, kDirectionArg[d]) == 0) return d;
    Fail("unknown direction", arg);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "make-synthetic") == 0) {
        MakeSynthetic(argv[2]);
        return 0;
    }
    if ((argc == 3 || argc == 4) && strcmp(argv[1], "run") == 0) return Run(argv[2], argc == 4 ? atoi(argv[3]) : 5);
    if ((argc == 3 || argc == 4) && strcmp(argv[1], "claims") == 0)
        return RunClaims(argv[2], argc == 4 ? atoi(argv[3]) : 5);
    if (argc == 4 && strcmp(argv[1], "refuse") == 0) return RefuseChild(argv[2], argv[3]);
    if ((argc == 5 || argc == 6) && strcmp(argv[1], "ours") == 0)
        return OursChild(DirectionFrom(argv[2]), argv[3], argv[4], argc == 6 ? argv[5] : "");
    fprintf(stderr,
            "usage: tolvane_bench make-synthetic DIR\n"
            "       tolvane_bench run WORKDIR [REPS]\n"
            "       tolvane_bench ours DIRECTION WORKDIR OUTDIR [ONLY]\n"
            "       tolvane_bench claims DIR [REPS]\n"
            "       tolvane_bench refuse JPEG OUTDIR\n");
    return 2;
}
