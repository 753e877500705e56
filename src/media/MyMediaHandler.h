#pragma once
// The media worker thread. It owns the station store that the rest of the program reads, the stream
// being played, the queue of received MP3 blocks, the decoder and the audio device, and the play state.
// Other threads reach it only through its sending operations (QueueMessage underneath); it reports to the
// main window only through MyCallbacks and asks the network thread for data only through network-thread
// messages.
//
// Threading: the sending operations may be called from any thread. Everything else runs on the media
// thread, inside HandleMessage. Records in the station store are handed to the user-interface thread by
// pointer and never change afterwards, except that a stream's track list and chat rows are each set once,
// from null to a complete list.
//
// This file holds the catalogue side (message types 7 to 12 and the stream-data request rule). The
// playback side (types 0 to 6, decoding and the audio device) lives in MyMediaHandlerPlayback.cpp and
// meets the catalogue side in two places only: Mp3DecodeStart and DecodeAndSubmit, called from the
// AddMp3Data handling, and SendStreamDataRequest / ApplyStreamDataRequestRule, which it calls.

#include "app/MyThread.h"
#include "media/LoudnessLeveller.h"
#include "media/Mp3Decoder.h"
#include "media/MyMediaHandlerMessages.h"
#include "media/MyWaveOutput.h"
#include "media/PlayEvent.h"
#include "media/TimeStretcher.h"
#include "platform/Audio.h"
#include "platform/Timer.h"
#include "records/CatalogueRecords.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>

struct MyAppContext;
class MyNetworkHandlerMessage;

enum PlayState : std::int32_t {
    PlayState_Stopped = 0,
    PlayState_Playing = 1,
    PlayState_Paused = 2,
};

class MyMediaHandler : public MyThread {
public:
    // More stream data is requested only while fewer blocks than this are queued: at least 60, and
    // enough for kQueuedSeconds of audio at the stream's byte rate.
    static constexpr std::uint32_t kMaxQueuedBlocks = 60;
    static constexpr double kQueuedSeconds = 15.0;
    // The pause before asking again after a stream-data request ended early: doubled after every try
    // that brings nothing, up to the longest, and back to the first once data arrives.
    static constexpr std::chrono::milliseconds kFirstRetryPause{500};
    static constexpr std::chrono::milliseconds kLongestRetryPause{8000};
    // The most buffers on the audio device at once.
    static constexpr std::int32_t kMaxHeadersInFlight = 4;
    // Playback speeds in tenths: 0.5x to 3x; 1x plays the decoded PCM unchanged.
    static constexpr std::int32_t kMinSpeedTenths = 5;
    static constexpr std::int32_t kMaxSpeedTenths = 30;
    static constexpr std::int32_t kNormalSpeedTenths = 10;

    enum Mp3RequestStatus : std::int32_t {
        RequestStatus_None = 0,
        RequestStatus_Mp3RequestPending = 1,
    };

    explicit MyMediaHandler(MyAppContext* context);
    // Stops the thread if it still runs; releases the store with every record in it.
    ~MyMediaHandler() override;

    void OnThreadStart() override;
    void OnThreadStop() override;
    void HandleMessage(MyMessageBase* message) override;
    bool HandleWaitHandle(platform::Event* handle) override;

    // Sending operations, callable from any thread.
    void StartPlayStream(std::int32_t stationId, std::int32_t streamId, float startFraction);
    void StartPlayStream(std::int32_t stationId, std::int32_t streamId, std::uint32_t startSeconds);
    void SetPlayPos(float position);
    void Pause();
    void Continue();
    void SetVolume(float volume, float balance);
    void SetMute(bool muted);
    // Plays faster or slower with the pitch kept, from the next buffer on (clamped to 0.5x..3x; a build
    // that cannot stretch stays at 1x).
    void SetPlaySpeed(std::int32_t tenths);
    // Evens out the loudness of shows towards -16 LUFS (off at the start).
    void SetLoudnessLevelling(bool on);
    void ReturnUsedWaveHeader(platform::WaveHeader* waveHeader);
    void AddMp3Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag, bool requestFinished);
    // Several blocks of one request in one message, oldest first; the last one carries requestFinished.
    void AddMp3Data(std::vector<std::unique_ptr<Mp3DataBlock>> blocks, std::int32_t tag,
                    bool requestFinished);
    void AddTrackInfoList(std::int32_t stationId, std::int32_t streamId, std::unique_ptr<TrackInfoList> list);
    void AddStreamChatRowList(std::int32_t stationId, std::int32_t streamId,
                              std::unique_ptr<StreamChatRowList> list);
    void AddStationInfo(std::unique_ptr<StationInfoData> info);
    void AddStationIdList(StationIdList ids);
    void AddChatSyncPoints(std::int32_t stationId, std::int32_t streamId,
                           std::unique_ptr<ChatSyncPoints> points);

    // Whether a chat row's argument count fits its kind, so that the chat panel can show it.
    static bool IsStorableChatRow(const StreamChatRow& row);

    // The audio device the thread opens at its start: the system's unless another is given here, before
    // Start (tests and benchmarks give their own).
    void SetWaveOutOpener(platform::WaveOutOpener opener);

    // Requests sent again after an early end, since the start (for figures; readable from any thread).
    std::uint32_t retriesMade() const { return retriesMade_.load(); }

protected:
    // Store lookups; they never create entries.
    StationInfoData* FindStation(std::int32_t stationId) const;
    StreamInfoData* FindStream(std::int32_t stationId, std::int32_t streamId) const;
    bool IsCurrentStream(std::int32_t stationId, std::int32_t streamId) const;

    // The way to the network thread. Virtual so that tests can capture the requests.
    virtual void SendToNetworkThread(std::unique_ptr<MyNetworkHandlerMessage> message);

    // Playback side, MyMediaHandlerPlayback.cpp. Virtual so that tests can stand in for the decoder.
    // Starts a decoder on the head of mp3Queue: 1 started, 0 no format yet (try again with the next
    // block), -1 failed (already reported).
    virtual int Mp3DecodeStart();
    // Decodes into one PCM buffer and writes it to the device; called only while headersInFlight < 4.
    virtual bool DecodeAndSubmit();
    void HandleStartPlayStream(MyMediaHandlerMessage_StartPlayStream& message);
    void HandleSetPlayPos(MyMediaHandlerMessage_SetPlayPos& message);
    void HandlePause(MyMediaHandlerMessage_Pause& message);
    void HandleContinue(MyMediaHandlerMessage_Continue& message);
    void HandleSetVolume(MyMediaHandlerMessage_SetVolume& message);
    void HandleSetMute(MyMediaHandlerMessage_SetMute& message);
    void HandleSetPlaySpeed(MyMediaHandlerMessage_SetPlaySpeed& message);
    void HandleSetLoudnessLevelling(MyMediaHandlerMessage_SetLoudnessLevelling& message);
    // DecodeAndSubmit away from 1x: the decoded PCM goes through the stretcher before the buffer
    // (MyMediaHandlerSpeed.cpp).
    bool DecodeStretchedAndSubmit();
    // The position estimate after a block was fed, allowing for what the stretcher and `buffer` hold.
    void PostPlayPos(const PcmBuffer* buffer);
    void HandleReturnUsedWaveHeader(MyMediaHandlerMessage_ReturnUsedWaveHeader& message);
    // Opens the device, silent until the first volume message; false when none could be opened.
    bool InitAudio();
    // Stops the output, discards queued data, makes the stream current and sends the first request of a
    // new series (a start or a seek).
    void StartPlayAt(std::int32_t stationId, std::int32_t streamId, float startFraction,
                     std::uint32_t startSeconds);
    // Tells the main window that the current stream cannot go on playing, after the error box that says
    // why.
    void ReportPlaybackFailure(PlaybackFailure failure);
    // The error box for a start or seek without a device, and its report.
    void ReportNoAudioDevice();
    // Writes the buffer to the device, counted in headersInFlight; false (and not counted) when refused.
    bool SubmitBuffer(PcmBuffer* buffer);
    // The device's completion callback, on the device's thread: queues the header back to this thread.
    virtual void WaveOutDone(platform::WaveHeader* header);

    // The first request of a series (from StartPlayAt): asks for the window at `startOffset` of
    // currentStream with the current requestTag and marks the request pending.
    void SendStreamDataRequest(std::uint64_t startOffset);
    // After each returned wave header: asks for the next window when no request is pending, fewer than
    // maxQueuedBlocks blocks are queued and a stream is current.
    void ApplyStreamDataRequestRule();
    // The series' request ended early: ask again from receivedBytes after the retry pause.
    void ScheduleRetry();
    // The retry pause is over: ask again if the stream is still current, playing and short of data.
    void RetryStreamDataRequest();
    // The series wants more data: a stream is current, the queue is short and the end is not reached.
    bool WantsStreamData() const;
    static std::uint32_t QueueThresholdFor(const StreamInfoData& stream);

    // Catalogue side.
    void HandleRequestStationInfo(MyMediaHandlerMessage_RequestStationInfo& message);
    void HandleAddMp3Data(MyMediaHandlerMessage_AddMp3Data& message);
    // A block of the current series with data: counted, queued, and decoding started or continued.
    void TakeMp3Block(std::unique_ptr<Mp3DataBlock> block);
    void HandleAddTrackInfoList(MyMediaHandlerMessage_AddTrackInfoList& message);
    void HandleAddStreamChatRowList(MyMediaHandlerMessage_AddStreamChatRowList& message);
    void HandleAddStationInfo(MyMediaHandlerMessage_AddStationInfo& message);
    void HandleAddStationIdList(MyMediaHandlerMessage_AddStationIdList& message);
    void HandleAddChatSyncPoints(MyMediaHandlerMessage_AddChatSyncPoints& message);

    MyAppContext* context;
    // Every station record received, owned for the whole run; entries are never removed.
    std::map<std::int32_t, std::unique_ptr<StationInfoData>> stationStore;
    MyWaveOutput waveOut;                // the open device (WaveOutHandle) and freePcmBuffers
    std::int32_t headersInFlight = 0;    // buffers on the device, not yet returned
    std::unique_ptr<Mp3Decoder> decoder; // of the current stream; replaced at the first block of each series
    // Received blocks not yet fed to the decoder, oldest first.
    std::deque<std::unique_ptr<Mp3DataBlock>> mp3Queue;
    std::uint32_t maxQueuedBlocks = kMaxQueuedBlocks;
    std::uint64_t receivedBytes = 0; // stream offset just past the last block received; next request's start
    std::uint64_t fedBytes = 0;      // stream offset just past the last block fed to the decoder
    Mp3RequestStatus requestStatus = RequestStatus_None;
    bool needDecodeStart = true; // the next block must start a new decoder
    PlayState playState = PlayState_Stopped;
    float volume = 0.0f;  // 0 to 1
    float balance = 0.0f; // -1 to 1
    bool muted = false;
    std::int32_t speedTenths = kNormalSpeedTenths;
    // Present while the speed is not 1x; emptied by every start and seek.
    std::unique_ptr<TimeStretcher> stretcher;
    std::vector<std::uint8_t> stretchInput; // decoded PCM on its way into the stretcher
    // Present while loudness levelling is on; measures the show `levelledShow`.
    std::unique_ptr<LoudnessLeveller> leveller;
    const StreamInfoData* levelledShow = nullptr;
    StreamInfoData* currentStream = nullptr; // a record inside stationStore, never cleared once set
    std::int32_t requestTag = 0;             // number of the current series of stream-data requests
    // What the front end is given when a stream has no chat: an empty list, never stored in a stream.
    const StreamChatRowList noChatRows;
    platform::WaveOutOpener waveOutOpener; // null: the system's device
    platform::Timer retryTimer;            // wakes the thread when a retry pause is over
    bool retryWaiting = false;             // a retry pause runs; the request rule waits for it
    bool retryOnContinue = false;          // a retry pause ran out while paused
    std::chrono::milliseconds retryPause = kFirstRetryPause;
    std::atomic<std::uint32_t> retriesMade_{0};
};
