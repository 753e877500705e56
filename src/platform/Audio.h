#pragma once
// The wave-output device: a queue of PCM buffers played in writing order, each handed back through a
// completion callback once it has been played (or discarded by Reset).
//
// Format. Fixed for every device: 44,100 frames per second, 16-bit signed little-endian samples, two
// channels interleaved (4 bytes a frame, 176,400 bytes a second).
//
// Call order for one buffer: Prepare, Write, (the callback hands it back), Unprepare. A header belongs
// to the device from Write until the callback has been called for it; its data must stay valid and
// unchanged that long. The device never frees a header.
//
// Threads. Every device call is made from one thread, the owner's. The completion callback runs on the
// device's own thread for the buffers it has played, and on the owner's thread inside Reset for the
// buffers Reset hands back; never inside the device's lock. It may queue a message or set a flag, and
// must not call the device, block on the owner or free the header. Buffers come back in playing order,
// except that those handed back by Reset may overtake one that had just finished playing.
//
// Reset stops playback, ends a pause and hands every queued buffer (the one playing included) back
// through the callback; when Reset returns, the callback has been called for each of them. Pause holds
// the queued buffers and plays silence; Restart resumes where Pause stopped. Pause on a paused device and
// Restart on a playing one do nothing.
//
// Volume. One 32-bit word: the low 16 bits scale the left channel, the high 16 bits the right one, 0
// silent to 0xFFFF unchanged.
//
// Close (also the destructor) stops playback without handing queued buffers back; after it returns the
// callback is never called again.

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// One buffer on its way through the device, in the manner of WAVEHDR.
struct WaveHeader {
    const std::uint8_t* data = nullptr; // the PCM bytes
    std::uint32_t bufferLength = 0;     // bytes of PCM; a whole number of frames
    std::uintptr_t user = 0;            // the owner's, untouched by the device
    std::uint32_t flags = 0;            // WaveHeaderFlag_* bits, kept by the device
};

enum WaveHeaderFlag : std::uint32_t {
    WaveHeaderFlag_Done = 0x01,     // handed back by the callback
    WaveHeaderFlag_Prepared = 0x02, // between Prepare and Unprepare
    WaveHeaderFlag_InQueue = 0x10,  // between Write and the callback
};

constexpr std::uint32_t kWaveSampleRate = 44100; // frames per second
constexpr std::uint32_t kWaveChannels = 2;
constexpr std::uint32_t kWaveBytesPerFrame = 4;

// Called once for each buffer the device hands back, on the device's own thread.
using WaveOutCallback = std::function<void(WaveHeader* header)>;

class WaveOutDevice {
public:
    virtual ~WaveOutDevice() = default;

    // Marks the header prepared; false when it is null, already prepared or has no whole frame.
    virtual bool Prepare(WaveHeader* header) = 0;
    // Queues a prepared header behind the others; false when it is not prepared or already queued.
    virtual bool Write(WaveHeader* header) = 0;
    // Clears the prepared mark; false while the header is still queued.
    virtual bool Unprepare(WaveHeader* header) = 0;
    virtual bool Reset() = 0;
    virtual bool Pause() = 0;
    virtual bool Restart() = 0;
    virtual bool SetVolume(std::uint32_t volume) = 0;
    virtual void Close() = 0;
};

// Opens a device with the fixed format; null when no device could be opened. The media thread is given
// one of these, so that tests can hand it a scripted device.
using WaveOutOpener = std::function<std::unique_ptr<WaveOutDevice>(WaveOutCallback callback)>;

// The system's device: SDL audio on Linux (SDL_AUDIODRIVER chooses the driver; "disk" writes exactly the
// PCM played to SDL_DISKAUDIOFILE, paced by SDL_DISKAUDIODELAY milliseconds per period, 0 unthrottled).
std::unique_ptr<WaveOutDevice> OpenSystemWaveOut(WaveOutCallback callback);

// Starts the system's audio on the calling thread and keeps it started while the object lives. The
// toolkit behind the system's device (SDL) must have its parts started on one thread: a program with a
// window creates this on its user-interface thread, after opening its window system and before any
// worker thread, so that opening a device from the media thread only uses what is already started.
class AudioSystem {
public:
    AudioSystem();
    ~AudioSystem();
    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;
    bool started() const { return started_; }

private:
    bool started_ = false;
};

} // namespace platform
