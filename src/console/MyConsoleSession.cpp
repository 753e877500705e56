#include "console/MyConsoleSession.h"

#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "net/ServerAddresses.h"
#include "platform/Environment.h"
#include "platform/Terminal.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int kThreadStopMilliseconds = 5000;

} // namespace

MyConsoleSession::MyConsoleSession(const ConsoleOptions& options, MyConsole::LineWriter write, bool colour,
                                   platform::WaveOutOpener opener)
    : console_(&context_, options, &mediaControl_, std::move(write), colour) {
    context_.mainWindowHandle = &window_;
    context_.callbacks = &callbacks_;
    network_ = std::make_unique<MyNetworkHandler>(&context_);
    if (std::u16string cacheFolder = StreamCache::UserFolder(); !cacheFolder.empty())
        network_->SetStreamCache(std::make_unique<StreamCache>(std::move(cacheFolder)));
    media_ = std::make_unique<MyMediaHandler>(&context_);
    if (opener)
        media_->SetWaveOutOpener(std::move(opener));
    context_.networkHandler = network_.get();
    context_.mediaHandler = media_.get();
    mediaPointer_ = media_.get();
    previousBoxes_ = platform::SetMessageBoxSink(&boxes_);
}

MyConsoleSession::~MyConsoleSession() {
    Stop();
    platform::SetMessageBoxSink(previousBoxes_);
}

bool MyConsoleSession::Start() {
    if (started_)
        return true;
    started_ = true;
    if (!network_->Start() || !media_->Start())
        return false;
    // There are no settings here: not muted, full volume, so that the device plays the decoded PCM as is.
    media_->SetMute(false);
    media_->SetVolume(1.0f, 0.0f);
    network_->GetStationsConnectionData();
    return true;
}

void MyConsoleSession::Stop() {
    if (started_) {
        network_->Stop();
        network_->WaitForEnd(kThreadStopMilliseconds);
        media_->Stop();
        media_->WaitForEnd(kThreadStopMilliseconds);
        started_ = false;
    }
    // Callbacks still queued are released without being shown.
    platform::WindowMessage message;
    while (window_.Take(message, 0))
        if (message.message == WM_USER_MESSAGE)
            MyCallbacks::Receive(message.wParam);
}

void MyConsoleSession::Dispatch(const platform::WindowMessage& message) {
    if (message.message == WM_USER_MESSAGE)
        console_.HandleCallback(MyCallbacks::Receive(message.wParam), MyConsole::Clock::now());
}

void MyConsoleSession::Pump(int milliseconds) {
    platform::WindowMessage message;
    if (window_.Take(message, milliseconds)) {
        Dispatch(message);
        while (!console_.finished() && window_.Take(message, 0))
            Dispatch(message);
    }
    console_.Tick(MyConsole::Clock::now());
}

platform::MessageBoxResult MyConsoleSession::Boxes::Show(const std::u16string& text, const std::u16string&,
                                                         platform::MessageBoxButtons buttons) {
    console_->ErrorBox(text);
    return buttons == platform::MessageBoxButtons::Ok ? platform::MessageBoxResult::Ok
                                                      : platform::MessageBoxResult::No;
}

void MyConsoleSession::MediaControl::StartPlayStream(std::int32_t stationId, std::int32_t streamId,
                                                     std::uint32_t startSeconds) {
    (*media_)->StartPlayStream(stationId, streamId, startSeconds);
}

void MyConsoleSession::MediaControl::SetPlayPos(float position) {
    (*media_)->SetPlayPos(position);
}
void MyConsoleSession::MediaControl::Pause() {
    (*media_)->Pause();
}
void MyConsoleSession::MediaControl::Continue() {
    (*media_)->Continue();
}

int RunConsole(std::span<const std::string_view> arguments) {
    std::string error;
    const auto options = ParseConsoleOptions(arguments, error);
    if (!options) {
        std::fprintf(stderr, "vantri-console: %s\n%s", error.c_str(), ConsoleUsage().c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(ConsoleUsage().c_str(), stdout);
        return 0;
    }
    // A directory address that cannot be used is refused before anything starts.
    if (const auto directory = platform::GetEnv("VANTRI_DIRECTORY");
        directory && !ParseServerAddress(*directory)) {
        std::fprintf(stderr,
                     "vantri-console: VANTRI_DIRECTORY is \"%s\"; it must be host or host:port with a port "
                     "of 1-65535\n",
                     directory->c_str());
        return 1;
    }
    const bool terminal = platform::IsStandardOutputTerminal();
    MyConsoleSession session(
        *options,
        [](const std::string& line) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        },
        terminal && !options->events);
    if (!session.Start()) {
        std::fputs("vantri-console: the worker threads did not start\n", stderr);
        return 1;
    }
    platform::KeyboardInput keyboard;
    // The view is brought up to date at most every 10 ms: the wait is for a key, and the callbacks that
    // arrived meanwhile are handled together. Without input the wait is for the callbacks themselves.
    while (!session.finished()) {
        if (keyboard.ended()) {
            session.Pump(10);
            continue;
        }
        for (int key = keyboard.ReadKey(10); key != platform::TerminalKey_None && !session.finished();
             key = keyboard.ReadKey(0))
            session.HandleKey(key);
        session.Pump(0);
    }
    return session.failed() ? 1 : 0;
}
