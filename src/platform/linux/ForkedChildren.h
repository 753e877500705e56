#pragma once
// What a child made by fork without exec takes from this process. SDL shows its message boxes from such
// a child, which keeps a copy of every descriptor (close-on-exec does not help: it never execs) and the
// forking thread's signal mask. So, for every child forked from now on:
// - the descriptors of every live ChildlessDescriptor are closed in the child at once, so that a child
//   never holds the single-instance lock or channel after this process has ended;
// - the signal mask of every live ChildSignalMask is set in the child, so that a child can be ended
//   by SIGTERM although this process keeps that signal for itself;
// - a child forked on a thread inside a ChildEndsWithParent scope is sent SIGTERM when that thread ends
//   (at the latest when this process ends).
// Linux backend only.

#include <signal.h>

namespace platform::linux_backend {

class ChildlessDescriptor {
public:
    explicit ChildlessDescriptor(int fd);
    ~ChildlessDescriptor();
    ChildlessDescriptor(const ChildlessDescriptor&) = delete;
    ChildlessDescriptor& operator=(const ChildlessDescriptor&) = delete;

private:
    int slot_ = -1;
};

class ChildSignalMask {
public:
    explicit ChildSignalMask(const sigset_t& mask);
    ~ChildSignalMask();
    ChildSignalMask(const ChildSignalMask&) = delete;
    ChildSignalMask& operator=(const ChildSignalMask&) = delete;
};

class ChildEndsWithParent {
public:
    ChildEndsWithParent();
    ~ChildEndsWithParent();
    ChildEndsWithParent(const ChildEndsWithParent&) = delete;
    ChildEndsWithParent& operator=(const ChildEndsWithParent&) = delete;

private:
    bool previous_;
};

} // namespace platform::linux_backend
