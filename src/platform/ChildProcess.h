#pragma once
// Running another program and measuring what it used, for benchmarks that compare whole programs.

#include <map>
#include <string>
#include <vector>

namespace platform {

struct ChildProcessResult {
    bool started = false;
    int exitCode = -1;              // -1 when it did not end normally
    double userSeconds = 0;         // CPU time in user mode
    double systemSeconds = 0;       // CPU time in the kernel
    long peakResidentKilobytes = 0; // the largest resident set it reached
};

// Runs `arguments` (the program, found on PATH, then its arguments) with `environment` added to this
// process's environment and its standard output and error sent to `outputPath` (empty: inherited), and
// waits for it to end. Its standard input is empty: closed at once, or, with `inputStaysOpen`, a pipe
// that stays open without data until it ends (as an idle terminal would).
ChildProcessResult RunChildProcess(const std::vector<std::string>& arguments,
                                   const std::map<std::string, std::string>& environment = {},
                                   const std::string& outputPath = "", bool inputStaysOpen = false);

// CPU seconds this process has used so far, all threads, user and kernel.
double ProcessCpuSeconds();

// Asks the process `processId` (started by this program, e.g. a daemon a test runs) to end (SIGTERM on
// Linux). False when there is no such process.
bool TerminateProcess(long processId);

} // namespace platform
