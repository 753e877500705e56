#include "support/ExchangeDriver.h"

#include "platform/Event.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace testsupport {

ExchangeOutcome DriveExchange(MyNetworkPacketBase& exchange, std::chrono::milliseconds timeout) {
    ExchangeOutcome outcome;
    platform::Event stop;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::thread driver([&] {
        bool connected = exchange.DoConnect();
        bool ended = !connected;
        while (!ended) {
            platform::Event* events[] = {&stop, &exchange.event()};
            int index = platform::WaitForAny(events);
            if (index != 1)
                break;
            ended = !exchange.HandleNetworkEvent();
        }
        std::lock_guard guard(lock);
        outcome.connected = connected;
        outcome.ended = connected && ended;
        done = true;
        finished.notify_all();
    });
    {
        std::unique_lock guard(lock);
        if (!finished.wait_for(guard, timeout, [&] { return done; }))
            stop.Set();
    }
    driver.join();
    return outcome;
}

} // namespace testsupport
