#pragma once
// The media thread's side of the wave-output device: the open device, the PCM buffers circulating through
// it and the headers on it. Buffers go free list → filled → on the device → returned → free list; the
// owner takes one only while fewer than four are on the device, so no more than four exist. One header is
// made per write and freed when it comes back.
//
// Media thread only, except the callback given to InitAudio, which the device runs on its own thread.

#include "media/PcmBuffer.h"
#include "platform/Audio.h"

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

class MyWaveOutput {
public:
    MyWaveOutput() = default;
    ~MyWaveOutput(); // closes the device before the buffers it may still read are freed
    MyWaveOutput(const MyWaveOutput&) = delete;
    MyWaveOutput& operator=(const MyWaveOutput&) = delete;

    // Opens the device with `opener` and sets its volume word; false when it is already open or no
    // device could be opened. `returned` is called on the device's thread for every header it hands back.
    bool InitAudio(const platform::WaveOutOpener& opener, platform::WaveOutCallback returned,
                   std::uint32_t volumeWord);
    // Closes the device without a reset: headers still on it are not handed back (their memory is freed
    // here, after the device is gone).
    void Close();

    bool isOpen() const { return WaveOutHandle != nullptr; }
    platform::WaveOutDevice* device() const { return WaveOutHandle.get(); }
    // Headers written and not yet taken back.
    std::size_t onDevice() const { return onDevice_.size(); }
    std::size_t freeBufferCount() const { return freePcmBuffers_.size(); }
    std::size_t bufferCount() const { return pcmBuffers_.size(); }

    // The head of the free list, or a new buffer with fill 0 when the list is empty.
    PcmBuffer* TakeBuffer();
    // Puts a buffer back on the tail of the free list, with fill 0.
    void GiveBack(PcmBuffer* buffer);

    // Wraps the buffer in a new header and writes it. When the device refuses the header, the header is
    // freed and the buffer goes back to the free list.
    bool SubmitBuffer(PcmBuffer* buffer);

    // A header the device handed back: unprepares and frees it and puts its buffer back on the free list.
    // A header this output did not write, has already taken back, or that is still queued on the device is
    // ignored; answers whether it was taken back.
    bool ReturnUsedWaveHeader(platform::WaveHeader* header);

private:
    std::unique_ptr<platform::WaveOutDevice> WaveOutHandle;
    std::list<PcmBuffer*> freePcmBuffers_;
    std::vector<std::unique_ptr<PcmBuffer>> pcmBuffers_; // every buffer made; never freed during the run
    std::list<std::unique_ptr<platform::WaveHeader>> onDevice_; // headers written and not yet returned
};
