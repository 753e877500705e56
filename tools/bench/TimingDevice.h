#pragma once
// A sound device for the benchmarks: it passes everything on to the system's device and notes when
// each buffer was written and how it begins.

#include "platform/Audio.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace benchdevice {

using Clock = std::chrono::steady_clock;

class TimingDevice : public platform::WaveOutDevice {
public:
    struct WriteRecord {
        Clock::time_point at;
        std::vector<std::uint8_t> head; // up to the first 64 bytes
    };

    TimingDevice(std::unique_ptr<platform::WaveOutDevice> inner, std::vector<WriteRecord>* writes,
                 std::mutex* lock, std::condition_variable* changed)
        : inner_(std::move(inner)), writes_(writes), lock_(lock), changed_(changed) {}

    bool Prepare(platform::WaveHeader* header) override { return inner_->Prepare(header); }
    bool Write(platform::WaveHeader* header) override {
        {
            std::lock_guard guard(*lock_);
            writes_->push_back(
                {Clock::now(),
                 std::vector<std::uint8_t>(
                     header->data, header->data + std::min<std::uint32_t>(64, header->bufferLength))});
        }
        changed_->notify_all();
        return inner_->Write(header);
    }
    bool Unprepare(platform::WaveHeader* header) override { return inner_->Unprepare(header); }
    bool Reset() override { return inner_->Reset(); }
    bool Pause() override { return inner_->Pause(); }
    bool Restart() override { return inner_->Restart(); }
    bool SetVolume(std::uint32_t volume) override { return inner_->SetVolume(volume); }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<platform::WaveOutDevice> inner_;
    std::vector<WriteRecord>* writes_;
    std::mutex* lock_;
    std::condition_variable* changed_;
};

} // namespace benchdevice
