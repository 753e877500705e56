// The rules are applied by a fork handler (pthread_atfork), which has no argument and can never be
// removed: its table is the process's own, made once. The child runs it before fork returns there, so
// it uses only async-signal-safe calls and atomics.

#include "platform/linux/ForkedChildren.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace platform::linux_backend {

namespace {

constexpr int kSlots = 16;

struct ForkRules {
    std::atomic<int> descriptors[kSlots];
    // The mask is written while `maskSet` is false and read only while it is true.
    sigset_t mask{};
    std::atomic<bool> maskSet{false};
    std::mutex maskLock;

    ForkRules() {
        for (auto& slot : descriptors)
            slot = -1;
    }
};

thread_local bool childEndsWithParent = false;
thread_local pid_t forkingProcess = 0;

void BeforeFork();
void InChild();

ForkRules& Rules() {
    static ForkRules rules;
    static std::once_flag installed;
    std::call_once(installed, [] { pthread_atfork(&BeforeFork, nullptr, &InChild); });
    return rules;
}

void BeforeFork() {
    forkingProcess = getpid();
}

void InChild() {
    ForkRules& rules = Rules();
    for (auto& slot : rules.descriptors) {
        const int fd = slot.load();
        if (fd >= 0)
            close(fd);
    }
    if (rules.maskSet)
        pthread_sigmask(SIG_SETMASK, &rules.mask, nullptr);
    if (childEndsWithParent) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The parent may have ended before the request was made.
        if (getppid() != forkingProcess)
            _exit(1);
    }
}

} // namespace

ChildlessDescriptor::ChildlessDescriptor(int fd) {
    if (fd < 0)
        return;
    for (int i = 0; i < kSlots; ++i) {
        int empty = -1;
        if (Rules().descriptors[i].compare_exchange_strong(empty, fd)) {
            slot_ = i;
            return;
        }
    }
}

ChildlessDescriptor::~ChildlessDescriptor() {
    if (slot_ >= 0)
        Rules().descriptors[slot_] = -1;
}

ChildSignalMask::ChildSignalMask(const sigset_t& mask) {
    ForkRules& rules = Rules();
    std::lock_guard guard(rules.maskLock);
    rules.maskSet = false;
    rules.mask = mask;
    rules.maskSet = true;
}

ChildSignalMask::~ChildSignalMask() {
    ForkRules& rules = Rules();
    std::lock_guard guard(rules.maskLock);
    rules.maskSet = false;
}

ChildEndsWithParent::ChildEndsWithParent() : previous_(childEndsWithParent) {
    Rules();
    childEndsWithParent = true;
}

ChildEndsWithParent::~ChildEndsWithParent() {
    childEndsWithParent = previous_;
}

} // namespace platform::linux_backend
