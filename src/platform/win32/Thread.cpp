#include "platform/Thread.h"

#include <windows.h>

namespace platform {

void Thread::SetTimeCriticalPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

unsigned long Thread::CurrentId() {
    return static_cast<unsigned long>(GetCurrentThreadId());
}

} // namespace platform
