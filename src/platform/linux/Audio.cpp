#include "platform/Audio.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

namespace platform {

namespace {

constexpr int kPeriodFrames = 1024; // frames SDL asks for per callback, about 23 ms
// How long a clockless driver's callback waits for a buffer before it writes silence, in milliseconds.
constexpr int kClocklessWaitMilliseconds = 50;

// SDL pulls audio through a callback on its own thread; buffers written here are copied out as it asks.
// Finished buffers are handed back by a completion thread of this device, so the owner's callback never
// runs on SDL's real-time thread nor inside this device's lock.
class SdlWaveOut final : public WaveOutDevice {
public:
    explicit SdlWaveOut(WaveOutCallback callback) : callback_(std::move(callback)) {}
    ~SdlWaveOut() override { Close(); }

    bool Open() {
        // The audio subsystem brings SDL's event subsystem along, which would otherwise turn SIGINT and
        // SIGTERM into quit events that a console program never reads.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        subsystemStarted_ = true;
        const char* driver = SDL_GetCurrentAudioDriver();
        // The disk and dummy drivers have no clock of their own: their callback waits a little for data
        // instead of writing silence at once, so a capture holds the played PCM without gaps and an
        // unthrottled run does not spin.
        const std::string_view name = driver ? driver : "";
        clockless_ = name == "disk" || name == "dummy";
        try {
            completion_ = std::thread([this] { DeliverLoop(); });
        } catch (const std::system_error&) {
            return false;
        }
        SDL_AudioSpec desired{};
        desired.freq = static_cast<int>(kWaveSampleRate);
        desired.format = AUDIO_S16LSB;
        desired.channels = static_cast<Uint8>(kWaveChannels);
        desired.samples = kPeriodFrames;
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
        std::unique_lock guard(lock_);
        if (closing_)
            return false;
        while (!queue_.empty()) {
            HandBack(queue_.front());
            queue_.pop_front();
        }
        playedBytes_ = 0;
        paused_ = false;
        const std::uint64_t target = handedBack_;
        dataWake_.notify_all();
        delivered_.wait(guard, [&] { return deliveredCount_ >= target || closing_; });
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
            doneReady_.notify_all();
            delivered_.notify_all();
        }
        if (device_ != 0)
            SDL_CloseAudioDevice(device_); // waits for SDL's thread, which the flag has woken
        device_ = 0;
        if (completion_.joinable())
            completion_.join();
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
    // what is left with silence.
    void Fill(Uint8* stream, std::size_t length) {
        std::unique_lock guard(lock_);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kClocklessWaitMilliseconds);
        std::size_t position = 0;
        while (position < length && !closing_) {
            if (paused_ || queue_.empty()) {
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
                HandBack(header);
            }
        }
        std::memset(stream + position, 0, length - position);
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

    // With the lock held: marks the header done and gives it to the completion thread.
    void HandBack(WaveHeader* header) {
        header->flags = (header->flags & ~WaveHeaderFlag_InQueue) | WaveHeaderFlag_Done;
        done_.push_back(header);
        ++handedBack_;
        doneReady_.notify_one();
    }

    // The completion thread: calls the owner's callback for every handed-back header, in order.
    void DeliverLoop() {
        std::unique_lock guard(lock_);
        for (;;) {
            doneReady_.wait(guard, [&] { return closing_ || !done_.empty(); });
            if (closing_)
                return;
            WaveHeader* header = done_.front();
            done_.pop_front();
            guard.unlock();
            callback_(header);
            guard.lock();
            ++deliveredCount_;
            delivered_.notify_all();
        }
    }

    WaveOutCallback callback_;
    SDL_AudioDeviceID device_ = 0;
    bool subsystemStarted_ = false;
    bool clockless_ = false;
    bool closed_ = false;
    std::thread completion_;

    std::mutex lock_;                   // guards everything below
    std::condition_variable dataWake_;  // a buffer written, a pause ended, a reset or closing
    std::condition_variable doneReady_; // a header handed back, or closing
    std::condition_variable delivered_; // the callback has run for another header
    std::deque<WaveHeader*> queue_;
    std::size_t playedBytes_ = 0; // bytes of queue_.front() already played
    std::deque<WaveHeader*> done_;
    std::uint64_t handedBack_ = 0;
    std::uint64_t deliveredCount_ = 0;
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

} // namespace platform
