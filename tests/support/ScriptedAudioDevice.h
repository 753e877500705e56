#pragma once
// A wave-output simulator for tests: the test decides when each written buffer comes back, every device
// call is recorded, and the device can be told to misbehave. It plays nothing; the PCM of each written
// buffer is kept for inspection.
//
// The test thread stands in for the device's thread: CompleteNext and CompleteAll call the completion
// callback on the calling thread, and Reset calls it (on the owner's thread) for every queued buffer
// before it returns. All members may be used from any thread.

#include "platform/Audio.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

enum class AudioCallKind { Open, Prepare, Write, Unprepare, Reset, Pause, Restart, SetVolume, Close };

struct AudioCall {
    AudioCallKind kind;
    const platform::WaveHeader* header = nullptr; // Prepare, Write, Unprepare
    std::uint32_t value = 0;                      // SetVolume: the word; Write: the buffer length
};

std::string AudioCallName(AudioCallKind kind);

class ScriptedAudio {
public:
    ScriptedAudio() = default;
    ScriptedAudio(const ScriptedAudio&) = delete;
    ScriptedAudio& operator=(const ScriptedAudio&) = delete;

    // Opens devices bound to this simulator; the simulator must outlive them.
    platform::WaveOutOpener Opener();

    // Hands the oldest queued buffer back; false when none is queued or the device is paused.
    bool CompleteNext();
    // Hands back queued buffers until none is left (or the device pauses); answers how many.
    std::size_t CompleteAll();

    std::vector<AudioCall> calls() const;
    // Calls of one kind, in order.
    std::vector<AudioCall> calls(AudioCallKind kind) const;
    // Kinds of every call since the last ClearCalls, without Prepare and Unprepare, as names:
    // "Write Write Reset Pause".
    std::string summary() const;
    void ClearCalls();

    std::size_t queued() const;    // written and not yet handed back
    std::size_t maxQueued() const; // the most that were ever queued at once
    bool paused() const;
    bool open() const;
    std::uint32_t volume() const;
    // The PCM bytes of every buffer written, in writing order (copied at the write).
    std::vector<std::vector<std::uint8_t>> writtenBuffers() const;
    std::vector<std::uint8_t> writtenPcm() const; // all of them joined

    // Misbehaviour.
    std::atomic<bool> failOpen{false};
    std::atomic<bool> failPrepare{false};
    std::atomic<bool> failWrite{false};
    std::atomic<bool> failReset{false};
    std::atomic<bool> stayPausedAfterReset{false}; // Reset leaves a pause in place
    std::atomic<bool> keepBuffersOnReset{false};   // Reset hands nothing back
    std::atomic<bool> returnTwice{false};          // every buffer handed back comes back a second time

private:
    friend class ScriptedAudioDevice;
    void Record(AudioCall call);
    void Deliver(const std::vector<platform::WaveHeader*>& headers);

    mutable std::mutex lock_;
    platform::WaveOutCallback callback_;
    std::vector<AudioCall> calls_;
    std::deque<platform::WaveHeader*> queue_;
    std::vector<std::vector<std::uint8_t>> written_;
    std::size_t maxQueued_ = 0;
    bool paused_ = false;
    bool open_ = false;
    std::uint32_t volume_ = 0xFFFFFFFF;
};

} // namespace testsupport
