#include "platform/Thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

void Thread::SetTimeCriticalPriority() {
    // A real-time policy could starve the desktop if decoding ever spun; the lowest nice value the process
    // may take is the portable meaning of "time critical" for an ordinary program.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    for (int nice = -20; nice < 0; nice += 5) {
        if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0)
            return;
    }
}

unsigned long Thread::CurrentId() {
    return static_cast<unsigned long>(syscall(SYS_gettid));
}

} // namespace platform
