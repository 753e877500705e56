#include "net/NameLookup.h"

#include "platform/Event.h"

#include <mutex>

struct NameLookup::Shared {
    std::mutex lock;
    platform::Event* done = nullptr; // cleared when the asking exchange goes away
    bool finished = false;
    platform::ResolveResult result;
};

NameLookup::NameLookup(const NameResolver& resolver, std::string host, std::string port,
                       platform::Event& done)
    : shared_(std::make_shared<Shared>()) {
    shared_->done = &done;
    NameResolver resolve = resolver ? resolver : NameResolver(platform::Resolve);
    const bool started = helper_.Start(
        [shared = shared_, resolve = std::move(resolve), host = std::move(host), port = std::move(port)] {
            platform::ResolveResult result = resolve(host, port);
            std::lock_guard guard(shared->lock);
            shared->result = std::move(result);
            shared->finished = true;
            if (shared->done)
                shared->done->Set();
        });
    if (!started) {
        // No thread to be had: the lookup fails at once, as a resolver failure would.
        shared_->result.error = platform::kSocketFailed;
        shared_->finished = true;
        done.Set();
    }
}

NameLookup::~NameLookup() {
    std::lock_guard guard(shared_->lock);
    shared_->done = nullptr;
}

bool NameLookup::finished() const {
    std::lock_guard guard(shared_->lock);
    return shared_->finished;
}

platform::ResolveResult NameLookup::Take() {
    std::lock_guard guard(shared_->lock);
    return std::move(shared_->result);
}
