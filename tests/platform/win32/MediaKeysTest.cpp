// The media keys on Windows: presses reach the window as media commands wherever the focus is, and
// nothing is posted once the controls are gone. The presses are injected as the keyboard makes them.
#include "platform/MediaControls.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

using namespace platform;

namespace {

constexpr std::uint32_t kCommand = WM_USER + 3;

void Press(WORD virtualKey) {
    INPUT input[2]{};
    for (INPUT& key : input) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = virtualKey;
        key.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
    }
    input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// The command posted next, or 0 when none comes within the time.
std::uintptr_t NextCommand(MessageQueue& queue, int milliseconds = 5000) {
    WindowMessage message;
    if (!queue.Take(message, milliseconds))
        return 0;
    EXPECT_EQ(message.message, kCommand);
    return message.wParam;
}

TEST(MediaKeys, EachKeyBecomesItsCommand) {
    MessageQueue queue;
    auto controls = CreateMediaControls(&queue, kCommand);
    ASSERT_TRUE(controls->available()) << "the media keys could not be registered";
    const std::vector<std::pair<WORD, MediaCommand>> keys = {
        {VK_MEDIA_PLAY_PAUSE, MediaCommand::PlayPause},
        {VK_MEDIA_NEXT_TRACK, MediaCommand::Next},
        {VK_MEDIA_PREV_TRACK, MediaCommand::Previous},
        {VK_MEDIA_STOP, MediaCommand::Stop},
    };
    for (const auto& [key, command] : keys) {
        Press(key);
        EXPECT_EQ(NextCommand(queue), static_cast<std::uintptr_t>(command)) << "key " << key;
    }
    // Publishing has nothing to tell on Windows, and posts nothing.
    controls->Publish(MediaState{});
    controls->Seeked(0);
}

TEST(MediaKeys, NothingIsPostedOnceTheControlsAreGoneAndTheKeysCanBeTakenAgain) {
    MessageQueue queue;
    CreateMediaControls(&queue, kCommand).reset();
    Press(VK_MEDIA_PLAY_PAUSE);
    // A second set registered afterwards hears the next press; the first press went nowhere.
    auto again = CreateMediaControls(&queue, kCommand);
    ASSERT_TRUE(again->available()) << "the keys were not given back";
    Press(VK_MEDIA_NEXT_TRACK);
    EXPECT_EQ(NextCommand(queue), static_cast<std::uintptr_t>(MediaCommand::Next));
}

} // namespace
