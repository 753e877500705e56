// Name lookups on helper threads: the exchange that asked may go before, while or after its answer
// comes. Many quick lookups, half of them dropped at once, is where a helper thread lost or crashing at
// its start or end shows (MinGW's pthreads layer did, when the thread was detached as it ended).

#include "net/NameLookup.h"
#include "platform/Event.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace testsupport;

namespace {

TEST(NameLookup, EveryLookupRunsOnceWhetherItsAnswerIsAwaitedOrItsOwnerGoesAtOnce) {
    constexpr int kLookups = 3000;
    auto asked = std::make_shared<std::atomic<int>>(0);
    const NameResolver resolver = [asked](const std::string& host, const std::string& port) {
        ++*asked;
        platform::ResolveResult result;
        result.error = host == "missing.example" ? platform::kHostNotFound : platform::kSocketOk;
        result.addresses.resize(port == "80" ? 1 : 2);
        return result;
    };
    int answered = 0;
    for (int i = 0; i < kLookups; ++i) {
        platform::Event done;
        NameLookup lookup(resolver, i % 4 == 2 ? "missing.example" : "station.example", i % 3 ? "80" : "8000",
                          done);
        if (i % 2)
            continue; // the exchange went before the answer, or as it came
        ASSERT_TRUE(platform::WaitForEvent(done, 10000)) << i;
        ASSERT_TRUE(lookup.finished());
        const platform::ResolveResult result = lookup.Take();
        EXPECT_EQ(result.error, i % 4 == 2 ? platform::kHostNotFound : platform::kSocketOk);
        EXPECT_EQ(result.addresses.size(), i % 3 ? 1u : 2u);
        ++answered;
    }
    EXPECT_EQ(answered, kLookups / 2);
    EXPECT_TRUE(WaitFor([&] { return *asked == kLookups; }, std::chrono::seconds(60))) << *asked;
}

} // namespace
