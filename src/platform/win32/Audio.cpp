#include "platform/Audio.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// waveOut on the wave mapper with a function callback. The system's WAVEHDR for each of the owner's
// headers lives here, from Prepare to Unprepare; the owner's flags are kept in step with it. The system's
// callback thread hands back what it played; Reset hands back, on the owner's thread, whatever the system
// has not handed back by the time waveOutReset returns, so every buffer comes back exactly once.
class WinWaveOut final : public WaveOutDevice {
public:
    explicit WinWaveOut(WaveOutCallback callback) : callback_(std::move(callback)) {}
    ~WinWaveOut() override { Close(); }

    bool Open() {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = kWaveChannels;
        format.nSamplesPerSec = kWaveSampleRate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = kWaveBytesPerFrame;
        format.nAvgBytesPerSec = kWaveSampleRate * kWaveBytesPerFrame;
        return waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&WinWaveOut::Done),
                           reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) == MMSYSERR_NOERROR;
    }

    bool Prepare(WaveHeader* header) override {
        if (!header || (header->flags & WaveHeaderFlag_Prepared) ||
            header->bufferLength % kWaveBytesPerFrame != 0)
            return false;
        std::lock_guard guard(lock_);
        auto native = std::make_unique<WAVEHDR>();
        native->dwUser = reinterpret_cast<DWORD_PTR>(header);
        native_[header] = std::move(native);
        header->flags = WaveHeaderFlag_Prepared;
        return true;
    }

    bool Write(WaveHeader* header) override {
        if (!header || !device_)
            return false;
        WAVEHDR* native = nullptr;
        {
            std::lock_guard guard(lock_);
            auto found = native_.find(header);
            if (found == native_.end() || !(header->flags & WaveHeaderFlag_Prepared) ||
                (header->flags & WaveHeaderFlag_InQueue))
                return false;
            native = found->second.get();
            header->flags = (header->flags & ~WaveHeaderFlag_Done) | WaveHeaderFlag_InQueue;
            queued_.push_back(header);
        }
        // The system's header follows the owner's buffer, which may have moved since it was last written.
        if ((native->dwFlags & WHDR_PREPARED) &&
            (native->lpData != reinterpret_cast<LPSTR>(const_cast<std::uint8_t*>(header->data)) ||
             native->dwBufferLength != header->bufferLength))
            waveOutUnprepareHeader(device_, native, sizeof *native);
        if (!(native->dwFlags & WHDR_PREPARED)) {
            native->lpData = reinterpret_cast<LPSTR>(const_cast<std::uint8_t*>(header->data));
            native->dwBufferLength = header->bufferLength;
            native->dwFlags = 0;
            if (waveOutPrepareHeader(device_, native, sizeof *native) != MMSYSERR_NOERROR) {
                std::lock_guard guard(lock_);
                Unqueue(header);
                return false;
            }
        }
        native->dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        if (waveOutWrite(device_, native, sizeof *native) != MMSYSERR_NOERROR) {
            std::lock_guard guard(lock_);
            Unqueue(header);
            return false;
        }
        return true;
    }

    bool Unprepare(WaveHeader* header) override {
        if (!header)
            return false;
        std::unique_ptr<WAVEHDR> native;
        {
            std::lock_guard guard(lock_);
            if (header->flags & WaveHeaderFlag_InQueue)
                return false;
            auto found = native_.find(header);
            if (found != native_.end()) {
                native = std::move(found->second);
                native_.erase(found);
            }
            header->flags &= ~WaveHeaderFlag_Prepared;
        }
        if (native && device_ && (native->dwFlags & WHDR_PREPARED))
            waveOutUnprepareHeader(device_, native.get(), sizeof *native);
        return true;
    }

    bool Reset() override {
        if (!device_)
            return false;
        waveOutReset(device_); // also ends a pause
        std::vector<WaveHeader*> handedBack;
        {
            std::unique_lock guard(lock_);
            for (WaveHeader* header : queued_)
                MarkDone(header);
            handedBack.swap(queued_);
            // A buffer the system's thread is handing back right now must be back before Reset returns.
            idle_.wait(guard, [&] { return delivering_ == 0; });
        }
        for (WaveHeader* header : handedBack)
            callback_(header);
        return true;
    }

    bool Pause() override { return device_ && waveOutPause(device_) == MMSYSERR_NOERROR; }
    bool Restart() override { return device_ && waveOutRestart(device_) == MMSYSERR_NOERROR; }

    bool SetVolume(std::uint32_t volume) override {
        return device_ && waveOutSetVolume(device_, static_cast<DWORD>(volume)) == MMSYSERR_NOERROR;
    }

    void Close() override {
        if (!device_)
            return;
        {
            std::unique_lock guard(lock_);
            closing_ = true;
            idle_.wait(guard, [&] { return delivering_ == 0; });
        }
        waveOutReset(device_);
        std::map<WaveHeader*, std::unique_ptr<WAVEHDR>> native;
        {
            std::lock_guard guard(lock_);
            native.swap(native_);
            for (WaveHeader* header : queued_)
                header->flags &= ~WaveHeaderFlag_InQueue;
            queued_.clear();
        }
        for (auto& [header, hdr] : native) {
            if (hdr->dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(device_, hdr.get(), sizeof *hdr);
        }
        waveOutClose(device_);
        device_ = nullptr;
    }

private:
    // The system's callback thread. Only WOM_DONE matters; no waveOut call may be made here.
    static void CALLBACK Done(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR parameter, DWORD_PTR) {
        if (message != WOM_DONE)
            return;
        auto* self = reinterpret_cast<WinWaveOut*>(instance);
        auto* native = reinterpret_cast<WAVEHDR*>(parameter);
        self->HandBack(reinterpret_cast<WaveHeader*>(native->dwUser));
    }

    void HandBack(WaveHeader* header) {
        {
            std::lock_guard guard(lock_);
            if (closing_ || !Unqueue(header))
                return; // Reset has handed it back already, or the device is closing
            MarkDone(header);
            ++delivering_;
        }
        callback_(header);
        std::lock_guard guard(lock_);
        --delivering_;
        idle_.notify_all();
    }

    // With the lock held: takes `header` out of the queue; false when it was not there.
    bool Unqueue(WaveHeader* header) {
        for (auto it = queued_.begin(); it != queued_.end(); ++it) {
            if (*it == header) {
                queued_.erase(it);
                header->flags &= ~WaveHeaderFlag_InQueue;
                return true;
            }
        }
        return false;
    }

    static void MarkDone(WaveHeader* header) {
        header->flags = (header->flags & ~WaveHeaderFlag_InQueue) | WaveHeaderFlag_Done;
    }

    WaveOutCallback callback_;
    HWAVEOUT device_ = nullptr;
    std::mutex lock_; // guards everything below
    std::condition_variable idle_;
    std::map<WaveHeader*, std::unique_ptr<WAVEHDR>> native_;
    std::vector<WaveHeader*> queued_; // written, not yet handed back, in playing order
    int delivering_ = 0;              // hand-backs running on the system's thread
    bool closing_ = false;
};

} // namespace

std::unique_ptr<WaveOutDevice> OpenSystemWaveOut(WaveOutCallback callback) {
    auto device = std::make_unique<WinWaveOut>(std::move(callback));
    if (!device->Open())
        return nullptr;
    return device;
}

// waveOut needs nothing started beforehand.
AudioSystem::AudioSystem() : started_(true) {}
AudioSystem::~AudioSystem() = default;

} // namespace platform
