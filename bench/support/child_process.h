#pragma once
// Benchmarks that run each measurement as a process of its own (this program started again, or a
// peer's command line), so that wall time includes starting a process for all alike and the peak
// resident memory is that process's own.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

struct ChildRun {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the process and its threads
    double peakMiB = 0;
    bool ok = false;
};

// Runs argv (a path, or a program found on the path) with the environment settings added;
// quiet discards its standard error.
inline ChildRun RunChild(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {}, bool quiet = false) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        for (const std::string& setting : environment)
            putenv(const_cast<char*>(setting.c_str()));
        if (quiet && !std::freopen("/dev/null", "w", stderr))
            _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    ChildRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMiB = usage.ru_maxrss / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// Keeps the fastest run and the highest peak; ok only while every run was.
inline void KeepBest(ChildRun& best, const ChildRun& run, bool first) {
    best.ok = (first || best.ok) && run.ok;
    best.seconds = first ? run.seconds : std::min(best.seconds, run.seconds);
    best.cpuSeconds = first ? run.cpuSeconds : std::min(best.cpuSeconds, run.cpuSeconds);
    best.peakMiB = std::max(best.peakMiB, run.peakMiB);
}

inline std::string LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toStdString() : "?";
}
