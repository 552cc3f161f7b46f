// What both benchmarks share: clocks, folders of pictures, child processes
// and memory figures. Linux only, like the benchmarks.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// Prints "<program>: what detail" and ends the benchmark.
[[noreturn]] void Fail(const char* what, const std::string& detail);

double Now();     // wall seconds, monotonic
double CpuNow();  // CPU seconds of this process

// The names (without ".kind") of the files in dir ending in ".kind", sorted.
std::vector<std::string> ListFiles(const std::string& dir, const std::string& kind);
// Every contender starts each batch with an empty output folder and no dirty
// pages pending, so none pays for another's writeback or for replacing files.
void EmptyFolder(const std::string& dir);

// Starts args[0] from the PATH; in and out are descriptors for its standard
// input and output (-1: none, output to /dev/null); quiet drops its errors.
pid_t Spawn(const std::vector<std::string>& args, int in, int out, bool quiet = false);
// Waits for a child that must succeed; returns its CPU seconds.
double Wait(pid_t pid, const char* what);
// The standard output of a command that must succeed.
std::string Capture(const std::vector<std::string>& args);

long MaxRssKb();     // peak resident memory of this process image
long MinorFaults();  // page faults of this process so far
