#include "app/MyCallbacks.h"

#include "app/MyAppContext.h"
#include "platform/PostTarget.h"
#include "records/TrackSearchResults.h"

void MyCallbacks::Post(std::unique_ptr<MyMainWindowMessageBase> message) {
    // The window handle is read at the moment of posting. A message that cannot be posted (no window
    // yet) is released here instead of being lost.
    auto* raw = message.release();
    if (!context->mainWindowHandle.Post({WM_USER_MESSAGE, reinterpret_cast<std::uintptr_t>(raw), 0}))
        delete raw;
}

std::unique_ptr<MyOwnerWindowMessageBase> MyCallbacks::Receive(std::uintptr_t wParam) {
    return std::unique_ptr<MyOwnerWindowMessageBase>(reinterpret_cast<MyOwnerWindowMessageBase*>(wParam));
}

void MyCallbacks::PlayEvent(std::int32_t event) {
    Post(std::make_unique<MyMainWindowMessage_PlayEventCallback>(event));
}

void MyCallbacks::PlayPos(float position) {
    Post(std::make_unique<MyMainWindowMessage_PlayPosCallback>(position));
}

void MyCallbacks::StreamInfo(const StationInfoData* station, const StreamInfoData* stream,
                             const std::vector<TrackInfo>* trackList) {
    Post(std::make_unique<MyMainWindowMessage_StreamInfoCallback>(station, stream, trackList));
}

void MyCallbacks::StreamChat(const StreamInfoData* stream, const std::vector<StreamChatRow>* chatRows) {
    Post(std::make_unique<MyMainWindowMessage_StreamChatCallback>(stream, chatRows));
}

void MyCallbacks::NewApplicationVersion(std::uint32_t version) {
    Post(std::make_unique<MyMainWindowMessage_NewApplicationVersionCallback>(version));
}

void MyCallbacks::StationInfo(const StationInfoData* station) {
    Post(std::make_unique<MyMainWindowMessage_StationInfoCallback>(station));
}

void MyCallbacks::PlaybackFailure(std::int32_t failure) {
    Post(std::make_unique<MyMainWindowMessage_PlaybackFailureCallback>(failure));
}

MyCallbacks::MyMainWindowMessage_TrackSearchCallback::MyMainWindowMessage_TrackSearchCallback(
    std::unique_ptr<TrackSearchResults> results)
    : MyMainWindowMessageBase(kType), results(std::move(results)) {}

MyCallbacks::MyMainWindowMessage_TrackSearchCallback::~MyMainWindowMessage_TrackSearchCallback() = default;

void MyCallbacks::TrackSearch(std::unique_ptr<TrackSearchResults> results) {
    Post(std::make_unique<MyMainWindowMessage_TrackSearchCallback>(std::move(results)));
}

void MyCallbacks::KeepProgress(std::int32_t stationId, std::int32_t streamId, std::int32_t percent) {
    Post(std::make_unique<MyMainWindowMessage_KeepProgressCallback>(stationId, streamId, percent));
}
