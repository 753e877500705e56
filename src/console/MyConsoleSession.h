#pragma once
// One run of the console front end: the application context, the network and media threads started as
// the program starts them, the directory asked for, and a MyConsole that handles their callbacks.
// vantri-console runs one with standard output and the keyboard; tests run one with their own writer.

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "console/ConsoleOptions.h"
#include "console/MyConsole.h"
#include "platform/Audio.h"
#include "platform/MessageBox.h"
#include "platform/PostTarget.h"

#include <memory>
#include <span>
#include <string_view>

class MyMediaHandler;
class MyNetworkHandler;

class MyConsoleSession {
public:
    // `opener` chooses the audio device (null: the system's).
    MyConsoleSession(const ConsoleOptions& options, MyConsole::LineWriter write, bool colour,
                     platform::WaveOutOpener opener = nullptr);
    // Stops both threads (network first, each waited for at most 5000 ms) and releases what is left.
    ~MyConsoleSession();
    MyConsoleSession(const MyConsoleSession&) = delete;
    MyConsoleSession& operator=(const MyConsoleSession&) = delete;

    // Starts the threads, sets full volume and asks for the directory; false when a thread did not start.
    bool Start();
    // Handles the callbacks that arrive within `milliseconds` (at least one wait), then lets time pass.
    void Pump(int milliseconds);
    void HandleKey(int key) { console_.HandleKey(key); }
    bool finished() const { return console_.finished(); }
    bool failed() const { return console_.failed(); }
    const MyConsole& console() const { return console_; }
    MyMediaHandler& media() { return *media_; }
    // Before Start: tests give the network thread their own resolver and time-outs.
    MyNetworkHandler& network() { return *network_; }

private:
    class Boxes : public platform::MessageBoxSink {
    public:
        explicit Boxes(MyConsole* console) : console_(console) {}
        platform::MessageBoxResult Show(const std::u16string& text, const std::u16string& caption,
                                        platform::MessageBoxButtons buttons) override;

    private:
        MyConsole* console_;
    };
    class MediaControl : public ConsoleMediaControl {
    public:
        explicit MediaControl(MyMediaHandler** media) : media_(media) {}
        void StartPlayStream(std::int32_t stationId, std::int32_t streamId,
                             std::uint32_t startSeconds) override;
        void SetPlayPos(float position) override;
        void Pause() override;
        void Continue() override;

    private:
        MyMediaHandler** media_;
    };

    void Stop();
    void Dispatch(const platform::WindowMessage& message);

    MyAppContext context_;
    platform::MessageQueue window_;
    MyCallbacks callbacks_{&context_};
    MyMediaHandler* mediaPointer_ = nullptr;
    MediaControl mediaControl_{&mediaPointer_};
    MyConsole console_;
    Boxes boxes_{&console_};
    platform::MessageBoxSink* previousBoxes_ = nullptr;
    std::unique_ptr<MyNetworkHandler> network_;
    std::unique_ptr<MyMediaHandler> media_;
    bool started_ = false;
};

// The whole of vantri-console: parses the arguments, plays, answers the exit code.
int RunConsole(std::span<const std::string_view> arguments);
