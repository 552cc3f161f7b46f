#include "bench_support.h"

#include <dirent.h>
#include <errno.h>
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

extern char** environ;

void Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "%s: %s %s\n", program_invocation_short_name, what, detail.c_str());
    exit(1);
}

static double Clock(clockid_t id) {
    timespec t;
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
double Now() { return Clock(CLOCK_MONOTONIC); }
// CPU seconds of this process: on a machine shared with other work they
// move far less than wall time, so they are reported beside it.
double CpuNow() { return Clock(CLOCK_PROCESS_CPUTIME_ID); }

std::vector<std::string> ListFiles(const std::string& dir, const std::string& kind) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) Fail("cannot list", dir);
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > kind.size() + 1 && n.compare(n.size() - kind.size() - 1, std::string::npos, "." + kind) == 0)
            names.push_back(n.substr(0, n.size() - kind.size() - 1));
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

pid_t Spawn(const std::vector<std::string>& args, int in, int out, bool quiet) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0) posix_spawn_file_actions_adddup2(&actions, in, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) Fail("cannot start", args[0]);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Returns the child's CPU seconds (user + system).
double Wait(pid_t pid, const char* what) {
    int status;
    rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("failed:", what);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

std::string Capture(const std::vector<std::string>& args) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) Fail("pipe", "");
    pid_t pid = Spawn(args, -1, p[1]);
    close(p[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(p[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(p[0]);
    Wait(pid, args[1].c_str());
    return text;
}

// VmHWM, not getrusage: ru_maxrss carries the spawning parent's peak
// across exec, VmHWM belongs to this process image alone.
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

// Page faults of this process so far: each is a first touch of fresh memory
// (or of a page-cache page), a cost the in-memory ceiling does not pay.
long MinorFaults() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}
