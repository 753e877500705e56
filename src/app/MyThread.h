#pragma once
// The worker-thread base: a first-in-first-out message queue under a queue lock, a handling lock held
// around each message, an auto-reset message event, a stop event, and extra wait handles that the
// worker itself adds and removes (the network thread's exchanges).
//
// Threading: QueueMessage and Stop may be called from any thread. Everything else, including
// AddWaitHandle and RemoveWaitHandle, runs on the worker thread. One wake-up of the message event
// handles every queued message, in queuing order; a pending stop wins over pending messages, and
// pending messages win over extra wait handles.

#include "app/MyMessageBase.h"
#include "platform/Event.h"
#include "platform/Thread.h"

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

class MyThread {
public:
    // The wait takes at most 64 handles: stop, message and 62 extra.
    static constexpr std::size_t kMaxWaitHandles = 64;

    MyThread();
    virtual ~MyThread();
    MyThread(const MyThread&) = delete;
    MyThread& operator=(const MyThread&) = delete;

    // Slot 1: once, first thing on the worker thread.
    virtual void OnThreadStart() {}
    // Slot 2: once, last thing on the worker thread, however the loop ends.
    virtual void OnThreadStop() {}
    // Slot 3: once per dequeued message, on the worker thread, under the handling lock.
    virtual void HandleMessage(MyMessageBase* message) = 0;
    // Slot 4: when extra wait handle `handle` is signalled; the answer is not used.
    virtual bool HandleWaitHandle(platform::Event* handle);
    // Slot 5: a second hook of the same form; never called.
    virtual bool HandleWaitHandle2(platform::Event* handle);

    // Takes ownership of `message`, appends it and wakes the worker. A null message queues nothing.
    void QueueMessage(std::unique_ptr<MyMessageBase> message);

    // Starts the worker thread running RunThread. The thread object exists before OnThreadStart runs.
    bool Start();
    // Asks the worker to stop at its next wait; messages still queued then are not handled.
    void Stop();
    // Waits at most `milliseconds` for the worker to end.
    bool WaitForEnd(int milliseconds);

    // The body of the worker thread; answers 0.
    int RunThread();

    platform::Thread& threadHandle() { return threadHandle_; }
    unsigned long threadId() const { return threadHandle_.id(); }

protected:
    // Worker thread only. The change takes effect at the next wait.
    void AddWaitHandle(platform::Event* handle);
    bool RemoveWaitHandle(platform::Event* handle);
    std::size_t waitHandleCount() const { return extraWaitHandles_.size(); }

private:
    void DrainQueue();

    platform::Thread threadHandle_;
    std::mutex queueLock_;
    std::mutex handlingLock_;
    platform::Event messageEvent_;
    platform::Event stopEvent_;
    std::list<std::unique_ptr<MyMessageBase>> messageQueue_;
    std::vector<platform::Event*> extraWaitHandles_;
};
