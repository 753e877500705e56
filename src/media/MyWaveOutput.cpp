#include "media/MyWaveOutput.h"

#include <algorithm>

MyWaveOutput::~MyWaveOutput() {
    Close();
}

bool MyWaveOutput::InitAudio(const platform::WaveOutOpener& opener, platform::WaveOutCallback returned,
                             std::uint32_t volumeWord) {
    if (WaveOutHandle || !opener)
        return false;
    WaveOutHandle = opener(std::move(returned));
    if (!WaveOutHandle)
        return false;
    WaveOutHandle->SetVolume(volumeWord);
    return true;
}

void MyWaveOutput::Close() {
    if (!WaveOutHandle)
        return;
    WaveOutHandle->Close();
    WaveOutHandle.reset();
    for (auto& header : onDevice_)
        GiveBack(reinterpret_cast<PcmBuffer*>(header->user));
    onDevice_.clear();
}

PcmBuffer* MyWaveOutput::TakeBuffer() {
    if (!freePcmBuffers_.empty()) {
        PcmBuffer* buffer = freePcmBuffers_.front();
        freePcmBuffers_.pop_front();
        return buffer;
    }
    pcmBuffers_.push_back(std::make_unique<PcmBuffer>());
    return pcmBuffers_.back().get();
}

void MyWaveOutput::GiveBack(PcmBuffer* buffer) {
    buffer->fill = 0;
    freePcmBuffers_.push_back(buffer);
}

bool MyWaveOutput::SubmitBuffer(PcmBuffer* buffer) {
    auto header = std::make_unique<platform::WaveHeader>();
    header->data = buffer->data;
    header->bufferLength = buffer->fill;
    header->user = reinterpret_cast<std::uintptr_t>(buffer);
    platform::WaveHeader* raw = header.get();
    if (WaveOutHandle && WaveOutHandle->Prepare(raw)) {
        onDevice_.push_back(std::move(header));
        if (WaveOutHandle->Write(raw))
            return true;
        // Refused after preparing: the header never reached the device, so it is taken back at once.
        WaveOutHandle->Unprepare(raw);
        header = std::move(onDevice_.back());
        onDevice_.pop_back();
    }
    GiveBack(buffer);
    return false;
}

bool MyWaveOutput::ReturnUsedWaveHeader(platform::WaveHeader* header) {
    auto it = std::find_if(onDevice_.begin(), onDevice_.end(),
                           [&](const auto& own) { return own.get() == header; });
    if (it == onDevice_.end())
        return false;
    // A header handed back twice may by now be a new one at the same address, still on the device.
    if (header->flags & platform::WaveHeaderFlag_InQueue)
        return false;
    if (WaveOutHandle)
        WaveOutHandle->Unprepare(header);
    PcmBuffer* buffer = reinterpret_cast<PcmBuffer*>(header->user);
    onDevice_.erase(it);
    GiveBack(buffer);
    return true;
}
