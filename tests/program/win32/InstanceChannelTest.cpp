// The single-instance channel on Windows: a named mutex says who is first, a message-only window of the
// first instance receives the command lines that later ones send with WM_COPYDATA.
#include "platform/InstanceChannel.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <vector>

namespace {

using platform::InstanceChannel;

std::string UniqueName() {
    return "vantri-test-" + std::to_string(std::random_device{}());
}

struct Heard {
    std::mutex lock;
    std::vector<std::string> messages;
    InstanceChannel::Receiver receiver() {
        return [this](std::string message) {
            std::lock_guard guard(lock);
            messages.push_back(std::move(message));
        };
    }
    std::vector<std::string> all() {
        std::lock_guard guard(lock);
        return messages;
    }
};

TEST(WindowsInstanceChannel, TheFirstHearsEveryMessageWholeAndALaterOneIsSecond) {
    const std::string name = UniqueName();
    Heard heard;
    std::unique_ptr<InstanceChannel> first;
    ASSERT_EQ(InstanceChannel::Open(name, heard.receiver(), first), InstanceChannel::Claim::First);
    std::unique_ptr<InstanceChannel> second;
    EXPECT_EQ(InstanceChannel::Open(name, heard.receiver(), second), InstanceChannel::Claim::Second);
    EXPECT_FALSE(second);

    const std::string longLine(5000, 'x');
    ASSERT_TRUE(InstanceChannel::Send(name, "vantri:station-1 debug"));
    ASSERT_TRUE(InstanceChannel::Send(name, ""));
    ASSERT_TRUE(InstanceChannel::Send(name, longLine));
    // Send waits until the message was received.
    const auto messages = heard.all();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "vantri:station-1 debug");
    EXPECT_EQ(messages[1], "");
    // A line too long to arrive whole arrives empty, never cut into another link.
    EXPECT_EQ(messages[2], "");
}

TEST(WindowsInstanceChannel, WithoutAFirstNothingTakesTheMessageAndTheNextStartIsFirst) {
    const std::string name = UniqueName();
    EXPECT_FALSE(InstanceChannel::Send(name, "kill", 100));
    Heard heard;
    {
        std::unique_ptr<InstanceChannel> first;
        ASSERT_EQ(InstanceChannel::Open(name, heard.receiver(), first), InstanceChannel::Claim::First);
    }
    // The first has gone: its window and its claim with it.
    EXPECT_FALSE(InstanceChannel::Send(name, "kill", 100));
    std::unique_ptr<InstanceChannel> next;
    EXPECT_EQ(InstanceChannel::Open(name, heard.receiver(), next), InstanceChannel::Claim::First);
    EXPECT_TRUE(InstanceChannel::Send(name, "again"));
    EXPECT_EQ(heard.all(), std::vector<std::string>{"again"});
}

TEST(WindowsInstanceChannel, ChannelsOfOtherNamesDoNotMeet) {
    Heard one, two;
    std::unique_ptr<InstanceChannel> a, b;
    const std::string nameA = UniqueName(), nameB = UniqueName();
    ASSERT_EQ(InstanceChannel::Open(nameA, one.receiver(), a), InstanceChannel::Claim::First);
    ASSERT_EQ(InstanceChannel::Open(nameB, two.receiver(), b), InstanceChannel::Claim::First);
    ASSERT_TRUE(InstanceChannel::Send(nameB, "to b"));
    EXPECT_TRUE(one.all().empty());
    EXPECT_EQ(two.all(), std::vector<std::string>{"to b"});
}

} // namespace
