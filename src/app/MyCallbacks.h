#pragma once
// How the worker threads report to the user-interface thread: each operation posts one callback
// message to the main window as window message WM_USER, with the message's address as wParam. The
// message belongs to the user-interface thread from the moment it is posted.

#include "app/MyMessageBase.h"

#include <cstdint>
#include <memory>
#include <vector>

struct MyAppContext;
struct StationInfoData;
struct StreamInfoData;
struct TrackInfo;
struct TrackSearchResults;
class StreamChatRow;

constexpr std::uint32_t WM_USER_MESSAGE = 0x0400; // WM_USER

class MyCallbacks {
public:
    class MyMainWindowMessageBase : public MyOwnerWindowMessageBase {
    public:
        using MyOwnerWindowMessageBase::MyOwnerWindowMessageBase;
    };

    enum MessageType : std::int32_t {
        MessageType_PlayEvent = 0,
        MessageType_PlayPos = 1,
        MessageType_StreamInfo = 2,
        MessageType_StreamChat = 3,
        MessageType_NewApplicationVersion = 4,
        MessageType_StationInfo = 5,
        MessageType_PlaybackFailure = 6,
        MessageType_TrackSearch = 7,
        MessageType_KeepProgress = 8,
    };

    struct MyMainWindowMessage_PlayEventCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_PlayEvent;
        explicit MyMainWindowMessage_PlayEventCallback(std::int32_t event)
            : MyMainWindowMessageBase(kType), event(event) {}
        std::int32_t event; // 0 playing, 1 stopped, 2 paused
    };
    struct MyMainWindowMessage_PlayPosCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_PlayPos;
        explicit MyMainWindowMessage_PlayPosCallback(float position)
            : MyMainWindowMessageBase(kType), position(position) {}
        float position; // fraction 0 to 1
    };
    struct MyMainWindowMessage_StreamInfoCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_StreamInfo;
        MyMainWindowMessage_StreamInfoCallback(const StationInfoData* station, const StreamInfoData* stream,
                                               const std::vector<TrackInfo>* trackList)
            : MyMainWindowMessageBase(kType), station(station), stream(stream), trackList(trackList) {}
        const StationInfoData* station;
        const StreamInfoData* stream;
        const std::vector<TrackInfo>* trackList; // may be null
    };
    struct MyMainWindowMessage_StreamChatCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_StreamChat;
        MyMainWindowMessage_StreamChatCallback(const StreamInfoData* stream,
                                               const std::vector<StreamChatRow>* chatRows)
            : MyMainWindowMessageBase(kType), stream(stream), chatRows(chatRows) {}
        const StreamInfoData* stream;
        const std::vector<StreamChatRow>* chatRows; // may be null
    };
    struct MyMainWindowMessage_NewApplicationVersionCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_NewApplicationVersion;
        explicit MyMainWindowMessage_NewApplicationVersionCallback(std::uint32_t version)
            : MyMainWindowMessageBase(kType), version(version) {}
        std::uint32_t version;
    };
    struct MyMainWindowMessage_StationInfoCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_StationInfo;
        explicit MyMainWindowMessage_StationInfoCallback(const StationInfoData* station)
            : MyMainWindowMessageBase(kType), station(station) {}
        const StationInfoData* station;
    };
    struct MyMainWindowMessage_PlaybackFailureCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_PlaybackFailure;
        explicit MyMainWindowMessage_PlaybackFailureCallback(std::int32_t failure)
            : MyMainWindowMessageBase(kType), failure(failure) {}
        std::int32_t failure; // 0 no decoder could be started, 1 no audio device
    };
    // A station server's answer to a search of shows and tracks; the message owns it.
    struct MyMainWindowMessage_TrackSearchCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_TrackSearch;
        explicit MyMainWindowMessage_TrackSearchCallback(std::unique_ptr<TrackSearchResults> results);
        ~MyMainWindowMessage_TrackSearchCallback() override;
        std::unique_ptr<TrackSearchResults> results;
    };

    // How far keeping a show for offline listening has come: the percent of it kept (100: whole), or -1
    // once its offline copy is forgotten.
    struct MyMainWindowMessage_KeepProgressCallback : MyMainWindowMessageBase {
        static constexpr std::int32_t kType = MessageType_KeepProgress;
        MyMainWindowMessage_KeepProgressCallback(std::int32_t stationId, std::int32_t streamId,
                                                 std::int32_t percent)
            : MyMainWindowMessageBase(kType), stationId(stationId), streamId(streamId), percent(percent) {}
        std::int32_t stationId;
        std::int32_t streamId;
        std::int32_t percent;
    };

    explicit MyCallbacks(MyAppContext* context) : context(context) {}

    void PlayEvent(std::int32_t event);
    void PlayPos(float position);
    void StreamInfo(const StationInfoData* station, const StreamInfoData* stream,
                    const std::vector<TrackInfo>* trackList);
    void StreamChat(const StreamInfoData* stream, const std::vector<StreamChatRow>* chatRows);
    void NewApplicationVersion(std::uint32_t version);
    void StationInfo(const StationInfoData* station);
    void PlaybackFailure(std::int32_t failure);
    void TrackSearch(std::unique_ptr<TrackSearchResults> results);
    void KeepProgress(std::int32_t stationId, std::int32_t streamId, std::int32_t percent);

    // Takes back ownership of a message received as the wParam of WM_USER.
    static std::unique_ptr<MyOwnerWindowMessageBase> Receive(std::uintptr_t wParam);

private:
    void Post(std::unique_ptr<MyMainWindowMessageBase> message);

    MyAppContext* context;
};
