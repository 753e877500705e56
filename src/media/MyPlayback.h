#pragma once
// The playing side of the media thread: the stream being played, the queue of received MP3 blocks, the
// decoder, the wave output with its buffers, the play state, volume and the stream-data requests.
//
// Media thread only. Reports go to the main window through MyCallbacks; requests leave through the
// network sender given at construction; headers the device hands back reach ReturnUsedWaveHeader
// through whatever the owner's device callback queues.

#include "media/Mp3Decoder.h"
#include "media/MyWaveOutput.h"
#include "media/PlayState.h"
#include "platform/Audio.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>

class MyCallbacks;
class MyMessageBase;
struct Mp3DataBlock;
struct StreamInfoData;

class MyPlayback {
public:
    using NetworkSender = std::function<void(std::unique_ptr<MyMessageBase>)>;

    static constexpr std::uint32_t kMaxQueuedBlocks = 60;
    static constexpr std::int32_t kMaxHeadersInFlight = 4;

    MyPlayback(MyCallbacks* callbacks, NetworkSender sendToNetwork);
    ~MyPlayback();
    MyPlayback(const MyPlayback&) = delete;
    MyPlayback& operator=(const MyPlayback&) = delete;

    // Opens the device, silent until the first volume change; false when none could be opened.
    bool InitAudio(const platform::WaveOutOpener& opener, platform::WaveOutCallback returned);
    // Closes the device without a reset.
    void CloseAudio();
    bool deviceOpen() const { return output_.isOpen(); }

    // Stops the output, discards queued data, makes `stream` current and sends the first request of a new
    // series, from `startFraction` of the stream or, when it is negative, from `startSeconds`.
    void StartPlayAt(const StreamInfoData* stream, float startFraction, std::uint32_t startSeconds);
    void Seek(float position);
    void Pause();
    void Continue();
    void SetVolume(float volume, float balance);
    void SetMute(bool muted);
    // A header the device handed back; then the stream-data request rule.
    void ReturnUsedWaveHeader(platform::WaveHeader* header);
    // A block of the series `tag` (null or empty when a request ends); `requestFinished` ends the request.
    void AddMp3Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag, bool requestFinished);

    // Starts a new decoder on the head block of the queue: 1 started, 0 no block or no format yet,
    // -1 failed (reported).
    int Mp3DecodeStart();
    // Decodes into one buffer and writes it to the device; see the rules in the source.
    bool DecodeAndSubmit();
    // Writes the buffer to the device, counted as on it; false (and not counted) when the device refused.
    bool SubmitBuffer(PcmBuffer* buffer);

    PlayState playState() const { return playState_; }
    const StreamInfoData* currentStream() const { return currentStream_; }
    std::int32_t requestTag() const { return requestTag_; }
    RequestStatus requestStatus() const { return requestStatus_; }
    bool needDecodeStart() const { return needDecodeStart_; }
    std::uint64_t receivedBytes() const { return receivedBytes_; }
    std::uint64_t fedBytes() const { return fedBytes_; }
    std::size_t queuedBlocks() const { return mp3Queue_.size(); }
    const MyWaveOutput& output() const { return output_; }
    std::int32_t headersInFlight() const { return headersInFlight_; }
    float volume() const { return volume_; }
    bool muted() const { return muted_; }

private:
    void SendStreamDataRequest(std::uint64_t startOffset);
    void ApplyVolume(float volume);

    MyCallbacks* callbacks_;
    NetworkSender sendToNetwork_;

    MyWaveOutput output_; // the device and freePcmBuffers
    std::int32_t headersInFlight_ = 0;
    std::unique_ptr<Mp3Decoder> decoder_;
    std::list<std::unique_ptr<Mp3DataBlock>> mp3Queue_; // oldest first
    std::uint32_t maxQueuedBlocks_ = kMaxQueuedBlocks;
    std::uint64_t receivedBytes_ = 0; // stream offset just past the last block received
    std::uint64_t fedBytes_ = 0;      // stream offset just past the last block fed to the decoder
    RequestStatus requestStatus_ = RequestStatus_None;
    bool needDecodeStart_ = true;
    PlayState playState_ = PlayState_Stopped;
    float volume_ = 0.0f;
    float balance_ = 0.0f;
    bool muted_ = false;
    const StreamInfoData* currentStream_ = nullptr;
    std::int32_t requestTag_ = 0;
};
