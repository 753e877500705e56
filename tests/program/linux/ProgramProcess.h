#pragma once
// The built program started as a process of its own, as a user's desktop starts it, for tests of how it
// starts and ends. The process is killed and reaped when the object goes, if it has not ended.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

class ProgramProcess {
public:
    // Starts `arguments` (a path, then its arguments) with this process's environment changed by
    // `environment` (nothing removes a variable), its output sent to `outputPath`.
    ProgramProcess(const std::vector<std::string>& arguments,
                   const std::map<std::string, std::optional<std::string>>& environment,
                   const std::string& outputPath);
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The exit code once the process ended within `timeout` (-1 when a signal ended it); nothing while
    // it runs.
    std::optional<int> WaitForEnd(std::chrono::milliseconds timeout);
    bool ended() const { return ended_; }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
};

// The processes whose parent is `parent`, that run the same executable file (forked, not started from
// another program) and that opened a socket of their own (a connection to the display: a message box).
std::set<pid_t> ForkedChildrenWithOwnSocketsOf(pid_t parent);
// Whether `pid` names a process that has not ended (a zombie has ended).
bool ProcessRuns(pid_t pid);

} // namespace testsupport
