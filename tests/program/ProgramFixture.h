#pragma once
// The program's window on the headless window system, with a media thread that only records what it is
// told and a notification area the test chooses. Records of a station with one show of 300 seconds.

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "media/MyMediaHandler.h"
#include "platform/HeadlessWindowSystem.h"
#include "program/MainWindowBase.h"
#include "support/Deadline.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace programtest {

// A media thread that handles nothing but writes down each message it is sent, one line each.
class RecordingMedia : public MyMediaHandler {
public:
    using MyMediaHandler::MyMediaHandler;
    ~RecordingMedia() override {
        Stop();
        WaitForEnd(5000);
    }
    void OnThreadStart() override {}
    void OnThreadStop() override {}
    void HandleMessage(MyMessageBase* message) override {
        std::ostringstream line;
        if (auto* m = dynamic_cast<MyMediaHandlerMessage_StartPlayStream*>(message))
            line << "StartPlayStream " << m->stationId << " " << m->streamId << " " << m->startSeconds;
        else if (auto* m = dynamic_cast<MyMediaHandlerMessage_SetPlayPos*>(message))
            line << "SetPlayPos " << m->position;
        else if (dynamic_cast<MyMediaHandlerMessage_Pause*>(message))
            line << "Pause";
        else if (dynamic_cast<MyMediaHandlerMessage_Continue*>(message))
            line << "Continue";
        else if (auto* m = dynamic_cast<MyMediaHandlerMessage_SetVolume*>(message))
            line << "SetVolume " << m->volume << " " << m->balance;
        else if (auto* m = dynamic_cast<MyMediaHandlerMessage_SetMute*>(message))
            line << "SetMute " << m->muted;
        else if (auto* m = dynamic_cast<MyMediaHandlerMessage_SetPlaySpeed*>(message))
            line << "SetPlaySpeed " << m->tenths;
        else if (auto* m = dynamic_cast<MyMediaHandlerMessage_SetLoudnessLevelling*>(message))
            line << "SetLoudnessLevelling " << m->on;
        else
            line << "type " << message->type;
        std::lock_guard guard(lock_);
        lines_.push_back(line.str());
    }
    std::vector<std::string> lines() {
        std::lock_guard guard(lock_);
        return lines_;
    }
    // Waits until `count` lines were written; answers them all.
    std::vector<std::string> WaitForLines(std::size_t count) {
        testsupport::WaitFor([&] { return lines().size() >= count; });
        return lines();
    }
    void Clear() {
        std::lock_guard guard(lock_);
        lines_.clear();
    }

private:
    std::mutex lock_;
    std::vector<std::string> lines_;
};

// A notification area that is there or not, and writes down what it is asked.
class FakeTray : public platform::TrayIcon {
public:
    FakeTray(bool available, std::vector<std::string>* calls) : available_(available), calls_(calls) {}
    bool available() const override { return available_; }
    bool Add(const platform::IconImage& icon, const std::u16string&, platform::PostTarget*,
             std::uint32_t message) override {
        calls_->push_back("Add " + std::to_string(icon.width) + " " + std::to_string(message));
        return available_;
    }
    bool Balloon(const std::u16string& title, const std::u16string& text, std::uint32_t timeout) override {
        calls_->push_back("Balloon " + std::string(title.begin(), title.end()) + "|" +
                          std::string(text.begin(), text.end()) + "|" + std::to_string(timeout));
        return available_;
    }
    void Remove() override { calls_->push_back("Remove"); }

private:
    bool available_;
    std::vector<std::string>* calls_;
};

class ProgramFixture : public ::testing::Test {
protected:
    ProgramFixture() { system.RegisterWindowClass(u"unused", nullptr); }
    ~ProgramFixture() override { owner.reset(); }

    // Builds the window. Settings come from the scratch folder (as saved by an earlier start).
    void Start(bool trayAvailable = true) {
        settings = std::make_unique<MySettings>(folder.text());
        context.settings = settings.get();
        context.instance = &system;
        context.mediaHandler = &media;
        if (!media.threadHandle().started()) {
            ASSERT_TRUE(media.Start());
        }
        owner = std::make_unique<MainWindowBase>();
        ASSERT_TRUE(owner->StartApplication(&system, &context,
                                            std::make_unique<FakeTray>(trayAvailable, &trayCalls)));
        Pump();
        media.WaitForLines(2); // mute and volume
        media.Clear();
    }
    // Ends this start as the program does: the window goes, the settings stay on disk.
    void Restart(bool trayAvailable = true) {
        owner.reset();
        Start(trayAvailable);
    }

    MainWindow& main() { return *owner->mainWindow; }
    platform::HeadlessWindow& window() { return static_cast<platform::HeadlessWindow&>(*owner->window); }

    // Dispatches every message that is ready, through the program's accelerator translation.
    void Pump();

    // A station with streams 7 and 8 (300 seconds each) and tracks at 0, 100, 150 (a conversation) and 200.
    void MakeRecords();
    // The current stream becomes stream 7 of station 1 with its tracks and chat, as the media thread reports.
    void PlayStream7();
    // A play position of `seconds` into the current stream.
    void At(float seconds) { main().OnPlayPos(seconds / 300.0f); }
    std::u16string TimeText();
    std::u16string StatusText();
    // The settings file as the next start reads it.
    MySettings Saved() { return MySettings(folder.text()); }

    testsupport::ScratchFolder folder;
    platform::HeadlessWindowSystem system;
    MyAppContext context;
    std::unique_ptr<MySettings> settings;
    RecordingMedia media{&context};
    std::vector<std::string> trayCalls;
    std::unique_ptr<MainWindowBase> owner;
    std::unique_ptr<StationInfoData> station;
};

} // namespace programtest
