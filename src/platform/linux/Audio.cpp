#include "platform/Audio.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>
#include <vector>

namespace platform {

namespace {

constexpr int kPeriodFrames = 1024; // frames SDL asks for per callback, about 23 ms
// Drivers without a clock need no short period; a long one saves system calls (about 186 ms).
constexpr int kClocklessPeriodFrames = 8192;
// How long a clockless driver's callback waits for a buffer before it writes silence, in milliseconds.
constexpr int kClocklessWaitMilliseconds = 50;

// SDL pulls audio through a callback on its own thread; buffers written here are copied out as it asks,
// and each one used up is handed back from that thread once this device's lock is released.
class SdlWaveOut final : public WaveOutDevice {
public:
    explicit SdlWaveOut(WaveOutCallback callback) : callback_(std::move(callback)) {}
    ~SdlWaveOut() override { Close(); }

    bool Open() {
        // The audio subsystem brings SDL's event subsystem along, which would otherwise turn SIGINT and
        // SIGTERM into quit events that a console program never reads.
        // Where the program started audio on its user-interface thread (AudioSystem), it is only used
        // here; otherwise (the console, tests) this thread starts it.
        if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
                return false;
            subsystemStarted_ = true;
        }
        const char* driver = SDL_GetCurrentAudioDriver();
        // The disk and dummy drivers have no clock of their own: their callback waits a little for data
        // instead of writing silence at once, so a capture holds the played PCM without gaps and an
        // unthrottled run does not spin.
        const std::string_view name = driver ? driver : "";
        clockless_ = name == "disk" || name == "dummy";
        SDL_AudioSpec desired{};
        desired.freq = static_cast<int>(kWaveSampleRate);
        desired.format = AUDIO_S16LSB;
        desired.channels = static_cast<Uint8>(kWaveChannels);
        desired.samples = clockless_ ? kClocklessPeriodFrames : kPeriodFrames;
        desired.callback = &SdlWaveOut::AudioCallback;
        desired.userdata = this;
        SDL_AudioSpec obtained{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &desired, &obtained, 0);
        if (device_ == 0)
            return false;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    bool Prepare(WaveHeader* header) override {
        if (!header || (header->flags & WaveHeaderFlag_Prepared) ||
            header->bufferLength % kWaveBytesPerFrame != 0)
            return false;
        std::lock_guard guard(lock_);
        header->flags = WaveHeaderFlag_Prepared;
        return true;
    }

    bool Write(WaveHeader* header) override {
        if (!header)
            return false;
        std::lock_guard guard(lock_);
        if (!(header->flags & WaveHeaderFlag_Prepared) || (header->flags & WaveHeaderFlag_InQueue))
            return false;
        header->flags = (header->flags & ~WaveHeaderFlag_Done) | WaveHeaderFlag_InQueue;
        queue_.push_back(header);
        dataWake_.notify_all();
        return true;
    }

    bool Unprepare(WaveHeader* header) override {
        if (!header)
            return false;
        std::lock_guard guard(lock_);
        if (header->flags & WaveHeaderFlag_InQueue)
            return false;
        header->flags &= ~WaveHeaderFlag_Prepared;
        return true;
    }

    bool Reset() override {
        std::vector<WaveHeader*> handedBack;
        {
            std::lock_guard guard(lock_);
            if (closing_)
                return false;
            for (WaveHeader* header : queue_)
                MarkDone(header);
            handedBack.assign(queue_.begin(), queue_.end());
            queue_.clear();
            playedBytes_ = 0;
            paused_ = false;
            dataWake_.notify_all();
        }
        for (WaveHeader* header : handedBack)
            callback_(header);
        return true;
    }

    bool Pause() override {
        std::lock_guard guard(lock_);
        paused_ = true;
        return true;
    }

    bool Restart() override {
        std::lock_guard guard(lock_);
        paused_ = false;
        dataWake_.notify_all();
        return true;
    }

    bool SetVolume(std::uint32_t volume) override {
        std::lock_guard guard(lock_);
        left_ = static_cast<std::uint16_t>(volume & 0xFFFF);
        right_ = static_cast<std::uint16_t>(volume >> 16);
        return true;
    }

    void Close() override {
        if (closed_)
            return;
        closed_ = true;
        {
            std::lock_guard guard(lock_);
            closing_ = true;
            dataWake_.notify_all();
        }
        if (device_ != 0)
            SDL_CloseAudioDevice(device_); // waits for SDL's thread, which the flag has woken
        device_ = 0;
        if (subsystemStarted_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            // With nothing else of SDL in use, its remaining state goes too.
            if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
                SDL_Quit();
        }
        subsystemStarted_ = false;
    }

private:
    static void SDLCALL AudioCallback(void* self, Uint8* stream, int length) {
        static_cast<SdlWaveOut*>(self)->Fill(stream, static_cast<std::size_t>(length));
    }

    // SDL's thread: copies queued PCM into `stream`, handing back each buffer that is used up, and fills
    // what is left with silence. Buffers used up are handed back before any wait for more, since their
    // owner refills only what comes back.
    void Fill(Uint8* stream, std::size_t length) {
        std::unique_lock guard(lock_);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kClocklessWaitMilliseconds);
        std::size_t position = 0;
        while (position < length && !closing_) {
            if (paused_ || queue_.empty()) {
                if (!finished_.empty()) {
                    HandBackFinished(guard);
                    continue;
                }
                if (!clockless_ || !dataWake_.wait_until(guard, deadline, [&] {
                        return closing_ || (!paused_ && !queue_.empty());
                    }))
                    break;
                continue;
            }
            WaveHeader* header = queue_.front();
            const std::size_t count =
                std::min<std::size_t>(header->bufferLength - playedBytes_, length - position);
            CopyScaled(stream + position, header->data + playedBytes_, count);
            position += count;
            playedBytes_ += count;
            if (playedBytes_ == header->bufferLength) {
                queue_.pop_front();
                playedBytes_ = 0;
                MarkDone(header);
                finished_.push_back(header);
            }
        }
        std::memset(stream + position, 0, length - position);
        HandBackFinished(guard);
    }

    // Calls the owner's callback for the buffers used up, outside the lock.
    void HandBackFinished(std::unique_lock<std::mutex>& guard) {
        delivering_.swap(finished_);
        guard.unlock();
        for (WaveHeader* header : delivering_)
            callback_(header);
        delivering_.clear();
        guard.lock();
    }

    void CopyScaled(Uint8* to, const std::uint8_t* from, std::size_t count) const {
        if (left_ == 0xFFFF && right_ == 0xFFFF) {
            std::memcpy(to, from, count);
            return;
        }
        // Samples alternate left, right; `count` is a whole number of frames.
        for (std::size_t i = 0; i + 1 < count; i += 2) {
            std::int16_t sample;
            std::memcpy(&sample, from + i, 2);
            const std::int32_t scale = (i / 2) % 2 == 0 ? left_ : right_;
            const auto scaled = static_cast<std::int16_t>(sample * scale / 0xFFFF);
            std::memcpy(to + i, &scaled, 2);
        }
    }

    // With the lock held: the header leaves the queue as done.
    static void MarkDone(WaveHeader* header) {
        header->flags = (header->flags & ~WaveHeaderFlag_InQueue) | WaveHeaderFlag_Done;
    }

    WaveOutCallback callback_;
    SDL_AudioDeviceID device_ = 0;
    bool subsystemStarted_ = false;
    bool clockless_ = false;
    bool closed_ = false;
    std::vector<WaveHeader*> finished_;   // used up, not yet handed back (under the lock)
    std::vector<WaveHeader*> delivering_; // SDL's thread only: being handed back

    std::mutex lock_;                  // guards everything below
    std::condition_variable dataWake_; // a buffer written, a pause ended, a reset or closing
    std::deque<WaveHeader*> queue_;
    std::size_t playedBytes_ = 0; // bytes of queue_.front() already played
    bool paused_ = false;
    bool closing_ = false;
    std::uint16_t left_ = 0xFFFF;
    std::uint16_t right_ = 0xFFFF;
};

} // namespace

std::unique_ptr<WaveOutDevice> OpenSystemWaveOut(WaveOutCallback callback) {
    auto device = std::make_unique<SdlWaveOut>(std::move(callback));
    if (!device->Open())
        return nullptr;
    return device;
}

AudioSystem::AudioSystem() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    started_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

AudioSystem::~AudioSystem() {
    if (started_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace platform
