#include "platform/MediaControls.h"

#include "platform/Utf.h"
#include "platform/linux/DesktopBus.h"

#include <cmath>
#include <map>
#include <mutex>
#include <vector>

namespace platform {

namespace {

constexpr const char* kBusName = "org.mpris.MediaPlayer2.vantri";
constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr const char* kTrackPathPrefix = "/org/vantri/track/";

std::string TrackPath(const std::string& trackId) {
    if (trackId.empty())
        return kNoTrack;
    std::string path = kTrackPathPrefix;
    for (char c : trackId)
        path += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return path;
}

const char* StatusText(PlaybackStatus status) {
    switch (status) {
    case PlaybackStatus::Playing:
        return "Playing";
    case PlaybackStatus::Paused:
        return "Paused";
    case PlaybackStatus::Stopped:
        break;
    }
    return "Stopped";
}

std::map<std::string, sdbus::Variant> Metadata(const MediaState& state) {
    std::map<std::string, sdbus::Variant> metadata;
    metadata["mpris:trackid"] = sdbus::Variant(sdbus::ObjectPath(TrackPath(state.trackId)));
    if (state.trackId.empty())
        return metadata;
    metadata["mpris:length"] = sdbus::Variant(static_cast<std::int64_t>(state.lengthMicroseconds));
    metadata["xesam:title"] = sdbus::Variant(Utf16ToUtf8(state.title));
    metadata["xesam:artist"] = sdbus::Variant(std::vector<std::string>{Utf16ToUtf8(state.artist)});
    metadata["xesam:album"] = sdbus::Variant(Utf16ToUtf8(state.album));
    return metadata;
}

// The player properties whose values differ between `a` and `b`.
std::vector<std::string> ChangedProperties(const MediaState& a, const MediaState& b) {
    std::vector<std::string> names;
    if (a.status != b.status)
        names.push_back("PlaybackStatus");
    if (a.trackId != b.trackId || a.artist != b.artist || a.title != b.title || a.album != b.album ||
        a.lengthMicroseconds != b.lengthMicroseconds)
        names.push_back("Metadata");
    if (a.volume != b.volume)
        names.push_back("Volume");
    if (a.canGoNext != b.canGoNext)
        names.push_back("CanGoNext");
    if (a.canGoPrevious != b.canGoPrevious)
        names.push_back("CanGoPrevious");
    if (a.canSeek != b.canSeek)
        names.push_back("CanSeek");
    if (a.canPlay != b.canPlay)
        names.push_back("CanPlay");
    if (a.canPause != b.canPause)
        names.push_back("CanPause");
    return names;
}

class MprisControls final : public MediaControls {
public:
    MprisControls(PostTarget* window, std::uint32_t commandMessage)
        : window_(window), commandMessage_(commandMessage) {
        bus_ = DesktopBus::Connect(kBusName);
        if (!bus_)
            return;
        try {
            Register();
        } catch (const sdbus::Error&) {
            object_.reset();
            bus_.reset();
            return;
        }
        bus_->Start();
    }

    ~MprisControls() override {
        // The object goes on the bus thread, before that thread ends. A thread stuck in a call keeps
        // it: it may still be using it.
        if (bus_ && !bus_->Run([this] { object_.reset(); }))
            (void)object_.release();
        bus_.reset();
    }

    bool available() const override { return bus_ != nullptr && bus_->connected(); }

    void Publish(const MediaState& state) override {
        std::vector<std::string> changed;
        {
            std::lock_guard guard(lock_);
            changed = ChangedProperties(state_, state);
            state_ = state;
        }
        if (!bus_ || changed.empty())
            return;
        bus_->Post([this, changed] { object_->emitPropertiesChangedSignal(kPlayerInterface, changed); });
    }

    void Seeked(std::int64_t positionMicroseconds) override {
        {
            std::lock_guard guard(lock_);
            state_.positionMicroseconds = positionMicroseconds;
        }
        if (bus_)
            bus_->Post([this, positionMicroseconds] {
                object_->emitSignal("Seeked")
                    .onInterface(kPlayerInterface)
                    .withArguments(positionMicroseconds);
            });
    }

private:
    MediaState State() {
        std::lock_guard guard(lock_);
        return state_;
    }

    void Command(MediaCommand command, std::intptr_t argument = 0) {
        window_->Post({commandMessage_, static_cast<std::uintptr_t>(command), argument});
    }

    void Register() {
        object_ = sdbus::createObject(bus_->connection(), kObjectPath);
        auto& o = *object_;
        o.registerMethod("Raise").onInterface(kRootInterface).implementedAs([this] {
            Command(MediaCommand::Raise);
        });
        o.registerMethod("Quit").onInterface(kRootInterface).implementedAs([this] {
            Command(MediaCommand::Quit);
        });
        o.registerProperty("CanQuit").onInterface(kRootInterface).withGetter([] { return true; });
        o.registerProperty("CanRaise").onInterface(kRootInterface).withGetter([] { return true; });
        o.registerProperty("HasTrackList").onInterface(kRootInterface).withGetter([] { return false; });
        o.registerProperty("Identity").onInterface(kRootInterface).withGetter([] {
            return std::string("Vantri");
        });
        o.registerProperty("DesktopEntry").onInterface(kRootInterface).withGetter([] {
            return std::string("vantri");
        });
        o.registerProperty("SupportedUriSchemes").onInterface(kRootInterface).withGetter([] {
            return std::vector<std::string>{};
        });
        o.registerProperty("SupportedMimeTypes").onInterface(kRootInterface).withGetter([] {
            return std::vector<std::string>{};
        });

        const char* player = kPlayerInterface;
        o.registerMethod("Next").onInterface(player).implementedAs([this] { Command(MediaCommand::Next); });
        o.registerMethod("Previous").onInterface(player).implementedAs([this] {
            Command(MediaCommand::Previous);
        });
        o.registerMethod("Pause").onInterface(player).implementedAs([this] { Command(MediaCommand::Pause); });
        o.registerMethod("PlayPause").onInterface(player).implementedAs([this] {
            Command(MediaCommand::PlayPause);
        });
        o.registerMethod("Stop").onInterface(player).implementedAs([this] { Command(MediaCommand::Stop); });
        o.registerMethod("Play").onInterface(player).implementedAs([this] { Command(MediaCommand::Play); });
        o.registerMethod("Seek").onInterface(player).withInputParamNames("Offset").implementedAs(
            [this](std::int64_t offset) {
                if (State().canSeek)
                    Command(MediaCommand::Seek, static_cast<std::intptr_t>(offset));
            });
        o.registerMethod("SetPosition")
            .onInterface(player)
            .withInputParamNames("TrackId", "Position")
            .implementedAs([this](sdbus::ObjectPath track, std::int64_t position) {
                const MediaState state = State();
                // A request for a track that is no longer current, or beyond the end, is ignored.
                if (!state.canSeek || state.trackId.empty() || track != TrackPath(state.trackId) ||
                    position < 0 || position > state.lengthMicroseconds)
                    return;
                Command(MediaCommand::SetPosition, static_cast<std::intptr_t>(position));
            });
        o.registerMethod("OpenUri").onInterface(player).withInputParamNames("Uri").implementedAs(
            [](std::string) {
                throw sdbus::Error("org.freedesktop.DBus.Error.NotSupported",
                                   "Vantri opens links given to it as a program");
            });
        o.registerSignal("Seeked").onInterface(player).withParameters<std::int64_t>("Position");

        o.registerProperty("PlaybackStatus").onInterface(player).withGetter([this] {
            return std::string(StatusText(State().status));
        });
        o.registerProperty("LoopStatus").onInterface(player).withGetter([] { return std::string("None"); });
        o.registerProperty("Rate").onInterface(player).withGetter([] { return 1.0; });
        o.registerProperty("Shuffle").onInterface(player).withGetter([] { return false; });
        o.registerProperty("Metadata").onInterface(player).withGetter([this] { return Metadata(State()); });
        o.registerProperty("Volume")
            .onInterface(player)
            .withGetter([this] { return State().volume; })
            .withSetter([this](const double& volume) {
                // Not a number, or an infinite one, is no volume: refused rather than turned into one.
                if (!std::isfinite(volume))
                    throw sdbus::Error("org.freedesktop.DBus.Error.InvalidArgs",
                                       "The volume is not a finite number");
                const double clamped = volume < 0 ? 0 : (volume > 1 ? 1 : volume);
                Command(MediaCommand::SetVolume, static_cast<std::intptr_t>(clamped * 1e6 + 0.5));
            });
        o.registerProperty("Position").onInterface(player).withGetter([this] {
            return static_cast<std::int64_t>(State().positionMicroseconds);
        });
        o.registerProperty("MinimumRate").onInterface(player).withGetter([] { return 1.0; });
        o.registerProperty("MaximumRate").onInterface(player).withGetter([] { return 1.0; });
        o.registerProperty("CanGoNext").onInterface(player).withGetter([this] { return State().canGoNext; });
        o.registerProperty("CanGoPrevious").onInterface(player).withGetter([this] {
            return State().canGoPrevious;
        });
        o.registerProperty("CanPlay").onInterface(player).withGetter([this] { return State().canPlay; });
        o.registerProperty("CanPause").onInterface(player).withGetter([this] { return State().canPause; });
        o.registerProperty("CanSeek").onInterface(player).withGetter([this] { return State().canSeek; });
        o.registerProperty("CanControl").onInterface(player).withGetter([] { return true; });
        o.finishRegistration();
    }

    PostTarget* window_;
    std::uint32_t commandMessage_;
    std::unique_ptr<DesktopBus> bus_;
    std::unique_ptr<sdbus::IObject> object_;
    std::mutex lock_;
    MediaState state_;
};

} // namespace

std::unique_ptr<MediaControls> CreateMediaControls(PostTarget* window, std::uint32_t commandMessage) {
    return std::make_unique<MprisControls>(window, commandMessage);
}

} // namespace platform
