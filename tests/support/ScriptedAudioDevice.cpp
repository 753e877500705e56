#include "support/ScriptedAudioDevice.h"

#include <algorithm>

namespace testsupport {

using platform::WaveHeader;

std::string AudioCallName(AudioCallKind kind) {
    switch (kind) {
    case AudioCallKind::Open:
        return "Open";
    case AudioCallKind::Prepare:
        return "Prepare";
    case AudioCallKind::Write:
        return "Write";
    case AudioCallKind::Unprepare:
        return "Unprepare";
    case AudioCallKind::Reset:
        return "Reset";
    case AudioCallKind::Pause:
        return "Pause";
    case AudioCallKind::Restart:
        return "Restart";
    case AudioCallKind::SetVolume:
        return "SetVolume";
    case AudioCallKind::Close:
        return "Close";
    }
    return "?";
}

class ScriptedAudioDevice final : public platform::WaveOutDevice {
public:
    explicit ScriptedAudioDevice(ScriptedAudio* audio) : audio_(audio) {}
    ~ScriptedAudioDevice() override { Close(); }

    bool Prepare(WaveHeader* header) override {
        audio_->Record({AudioCallKind::Prepare, header});
        std::lock_guard guard(audio_->lock_);
        if (audio_->failPrepare || !header || (header->flags & platform::WaveHeaderFlag_Prepared) ||
            header->bufferLength % platform::kWaveBytesPerFrame != 0)
            return false;
        header->flags = platform::WaveHeaderFlag_Prepared;
        return true;
    }

    bool Write(WaveHeader* header) override {
        audio_->Record({AudioCallKind::Write, header, header ? header->bufferLength : 0});
        std::lock_guard guard(audio_->lock_);
        if (audio_->failWrite || !header || !(header->flags & platform::WaveHeaderFlag_Prepared) ||
            (header->flags & platform::WaveHeaderFlag_InQueue))
            return false;
        header->flags = (header->flags & ~platform::WaveHeaderFlag_Done) | platform::WaveHeaderFlag_InQueue;
        audio_->queue_.push_back(header);
        audio_->maxQueued_ = std::max(audio_->maxQueued_, audio_->queue_.size());
        audio_->written_.emplace_back(header->data, header->data + header->bufferLength);
        return true;
    }

    bool Unprepare(WaveHeader* header) override {
        audio_->Record({AudioCallKind::Unprepare, header});
        std::lock_guard guard(audio_->lock_);
        if (!header || (header->flags & platform::WaveHeaderFlag_InQueue))
            return false;
        header->flags &= ~platform::WaveHeaderFlag_Prepared;
        return true;
    }

    bool Reset() override {
        audio_->Record({AudioCallKind::Reset});
        std::vector<WaveHeader*> handedBack;
        {
            std::lock_guard guard(audio_->lock_);
            if (audio_->failReset)
                return false;
            if (!audio_->stayPausedAfterReset)
                audio_->paused_ = false;
            if (!audio_->keepBuffersOnReset) {
                handedBack.assign(audio_->queue_.begin(), audio_->queue_.end());
                audio_->queue_.clear();
            }
        }
        audio_->Deliver(handedBack);
        return true;
    }

    bool Pause() override {
        audio_->Record({AudioCallKind::Pause});
        std::lock_guard guard(audio_->lock_);
        audio_->paused_ = true;
        return true;
    }

    bool Restart() override {
        audio_->Record({AudioCallKind::Restart});
        std::lock_guard guard(audio_->lock_);
        audio_->paused_ = false;
        return true;
    }

    bool SetVolume(std::uint32_t volume) override {
        audio_->Record({AudioCallKind::SetVolume, nullptr, volume});
        std::lock_guard guard(audio_->lock_);
        audio_->volume_ = volume;
        return true;
    }

    void Close() override {
        if (closed_)
            return;
        closed_ = true;
        audio_->Record({AudioCallKind::Close});
        std::lock_guard guard(audio_->lock_);
        audio_->open_ = false;
        audio_->queue_.clear();
        audio_->callback_ = nullptr;
    }

private:
    ScriptedAudio* audio_;
    bool closed_ = false;
};

platform::WaveOutOpener ScriptedAudio::Opener() {
    return [this](platform::WaveOutCallback callback) -> std::unique_ptr<platform::WaveOutDevice> {
        Record({AudioCallKind::Open});
        std::lock_guard guard(lock_);
        if (failOpen)
            return nullptr;
        callback_ = std::move(callback);
        open_ = true;
        paused_ = false;
        return std::make_unique<ScriptedAudioDevice>(this);
    };
}

void ScriptedAudio::Record(AudioCall call) {
    std::lock_guard guard(lock_);
    calls_.push_back(call);
}

void ScriptedAudio::Deliver(const std::vector<WaveHeader*>& headers) {
    platform::WaveOutCallback callback;
    bool twice = false;
    {
        std::lock_guard guard(lock_);
        callback = callback_;
        twice = returnTwice;
        for (WaveHeader* header : headers)
            header->flags =
                (header->flags & ~platform::WaveHeaderFlag_InQueue) | platform::WaveHeaderFlag_Done;
    }
    if (!callback)
        return;
    for (WaveHeader* header : headers) {
        callback(header);
        if (twice)
            callback(header);
    }
}

bool ScriptedAudio::CompleteNext() {
    WaveHeader* header = nullptr;
    {
        std::lock_guard guard(lock_);
        if (queue_.empty() || paused_)
            return false;
        header = queue_.front();
        queue_.pop_front();
    }
    Deliver({header});
    return true;
}

std::size_t ScriptedAudio::CompleteAll() {
    std::size_t count = 0;
    while (CompleteNext())
        ++count;
    return count;
}

std::vector<AudioCall> ScriptedAudio::calls() const {
    std::lock_guard guard(lock_);
    return calls_;
}

std::vector<AudioCall> ScriptedAudio::calls(AudioCallKind kind) const {
    std::lock_guard guard(lock_);
    std::vector<AudioCall> result;
    for (const AudioCall& call : calls_)
        if (call.kind == kind)
            result.push_back(call);
    return result;
}

std::string ScriptedAudio::summary() const {
    std::lock_guard guard(lock_);
    std::string text;
    for (const AudioCall& call : calls_) {
        if (call.kind == AudioCallKind::Prepare || call.kind == AudioCallKind::Unprepare)
            continue;
        if (!text.empty())
            text += ' ';
        text += AudioCallName(call.kind);
    }
    return text;
}

void ScriptedAudio::ClearCalls() {
    std::lock_guard guard(lock_);
    calls_.clear();
}

std::size_t ScriptedAudio::queued() const {
    std::lock_guard guard(lock_);
    return queue_.size();
}

std::size_t ScriptedAudio::maxQueued() const {
    std::lock_guard guard(lock_);
    return maxQueued_;
}

bool ScriptedAudio::paused() const {
    std::lock_guard guard(lock_);
    return paused_;
}

bool ScriptedAudio::open() const {
    std::lock_guard guard(lock_);
    return open_;
}

std::uint32_t ScriptedAudio::volume() const {
    std::lock_guard guard(lock_);
    return volume_;
}

std::vector<std::vector<std::uint8_t>> ScriptedAudio::writtenBuffers() const {
    std::lock_guard guard(lock_);
    return written_;
}

std::vector<std::uint8_t> ScriptedAudio::writtenPcm() const {
    std::lock_guard guard(lock_);
    std::vector<std::uint8_t> all;
    for (const auto& buffer : written_)
        all.insert(all.end(), buffer.begin(), buffer.end());
    return all;
}

} // namespace testsupport
