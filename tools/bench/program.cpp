// Figures of the program `vantri`, against a station server given by VANTRI_DIRECTORY:
//   bench_program start ROUNDS STATIONS     start to first frame on screen and to a filled station chooser
//                                           (in this process, from the call of the program's entry)
//   bench_program handover VANTRI LINK      a second start of the built program with LINK, to the first
//                                           instance (in this process) playing it
//   bench_program run SECONDS PROGRAM ARGS  CPU time and peak memory of a whole program playing for
//                                           SECONDS, ended by "kill" from a second start (vantri) or by
//                                           its own --seconds (vantri-console)
//   bench_program repaint ROUNDS REPAINTS   at the device scale VANTRI_SCALE names (1x without it): start
//                                           to first frame, and a full repaint of the filled window (the
//                                           whole tree drawn into the back buffer and put on the screen)
// Prints one line per figure.
#include "program/Program.h"
#include "app/MyAppContext.h"
#include "panels/MyInfoTabPanel.h"
#include "platform/ChildProcess.h"
#include "platform/InstanceChannel.h"
#include "program/MainWindowBase.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int Start(int rounds, std::size_t stations) {
    std::vector<double> frames, choosers;
    for (int round = 0; round < rounds; ++round) {
        const auto t0 = Clock::now();
        double frame = -1, chooser = -1;
        ProgramOptions options;
        options.instanceName = "vantri-bench-start";
        options.dispatched = [&](MainWindowBase& owner, const platform::Message& message) {
            const double now = Milliseconds(Clock::now() - t0);
            if (frame < 0 && message.message == platform::WM_PAINT)
                frame = now;
            if (chooser < 0 && message.message == platform::WM_PAINT &&
                owner.mainWindow->infoTabPanel->stationPage->stationsById.size() >= stations)
                chooser = now;
            if (frame >= 0 && chooser >= 0)
                owner.window->Post({platform::WM_COMMAND, 40002, 0});
        };
        RunProgram("", options);
        frames.push_back(frame);
        choosers.push_back(chooser);
        std::printf("round %d: first frame %.1f ms, station chooser filled (%zu stations) %.1f ms\n",
                    round + 1, frame, stations, chooser);
    }
    std::printf("start to first frame: median %.1f ms\nstart to filled station chooser: median %.1f ms\n",
                Median(frames), Median(choosers));
    return 0;
}

int Handover(const std::string& vantri, const std::string& link, std::int32_t streamId, std::int32_t second) {
    std::mutex lock;
    std::int32_t playing = 0, at = -1;
    ProgramOptions options;
    options.instanceName = "vantri"; // the name the built program uses
    options.dispatched = [&](MainWindowBase& owner, const platform::Message&) {
        const MainWindow& m = *owner.mainWindow;
        std::lock_guard guard(lock);
        playing = m.currentStream && m.playState == 1 ? m.currentStream->streamId : 0;
        at = m.playSecond;
    };
    std::thread first([&] { RunProgram("vantri:track-1-1-0", options); });
    auto wait = [&](auto condition) {
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (Clock::now() < deadline) {
            {
                std::lock_guard guard(lock);
                if (condition())
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    };
    if (!wait([&] { return playing == 1; })) {
        std::puts("the first instance did not start playing");
        platform::InstanceChannel::Send("vantri", "kill");
        first.join();
        return 1;
    }
    std::vector<double> times;
    for (int round = 0; round < 5; ++round) {
        const std::int32_t target = round % 2 == 0 ? streamId : 1;
        const std::int32_t targetSecond = round % 2 == 0 ? second : 0;
        const std::string roundLink = round % 2 == 0 ? link : "vantri:track-1-1-0";
        const auto t0 = Clock::now();
        platform::RunChildProcess({vantri, roundLink});
        const bool ok = wait([&] { return playing == target && at >= targetSecond; });
        const double ms = Milliseconds(Clock::now() - t0);
        if (!ok)
            std::printf("round %d: not played\n", round + 1);
        else
            times.push_back(ms);
        std::printf("round %d: second start to first instance playing %s: %.1f ms\n", round + 1,
                    roundLink.c_str(), ms);
    }
    std::printf("second instance to playing: median %.1f ms\n", Median(times));
    platform::InstanceChannel::Send("vantri", "kill");
    first.join();
    return 0;
}

int Run(int seconds, const std::vector<std::string>& arguments) {
    const bool window = arguments[0].find("vantri-console") == std::string::npos;
    platform::ChildProcessResult result;
    std::thread child([&] { result = platform::RunChildProcess(arguments, {}, "/dev/null", !window); });
    if (window) {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        platform::InstanceChannel::Send("vantri", "kill");
    }
    child.join();
    const double cpu = result.userSeconds + result.systemSeconds;
    std::printf("%s: %d s playing, CPU %.2f s (%.2f%% of one core), peak resident %.1f MiB, exit %d\n",
                arguments[0].c_str(), seconds, cpu, 100.0 * cpu / seconds,
                result.peakResidentKilobytes / 1024.0, result.exitCode);
    return result.exitCode;
}

// Start to first frame and full repaints at the scale of the environment, with the station chooser
// filled: each repaint draws the whole tree and presents the whole window, as an expose does.
int Repaint(int rounds, int repaints, std::size_t stations) {
    std::vector<double> frames, paints;
    int scaleQuarters = 4;
    for (int round = 0; round < rounds; ++round) {
        const auto t0 = Clock::now();
        double frame = -1;
        bool measured = false;
        ProgramOptions options;
        options.instanceName = "vantri-bench-repaint";
        options.dispatched = [&](MainWindowBase& owner, const platform::Message& message) {
            if (frame < 0 && message.message == platform::WM_PAINT)
                frame = Milliseconds(Clock::now() - t0);
            if (measured || frame < 0 ||
                owner.mainWindow->infoTabPanel->stationPage->stationsById.size() < stations)
                return;
            measured = true;
            scaleQuarters = owner.window->scale().quarters();
            for (int i = 0; i < repaints; ++i) {
                const auto p0 = Clock::now();
                owner.mainWindow->Redraw();
                owner.WindowProc(*owner.window, platform::WM_PAINT, 0, 0);
                paints.push_back(Milliseconds(Clock::now() - p0));
            }
            owner.window->Post({platform::WM_COMMAND, 40002, 0});
        };
        RunProgram("", options);
        frames.push_back(frame);
        std::printf("round %d: first frame %.1f ms\n", round + 1, frame);
    }
    std::printf("scale %.2f: start to first frame median %.1f ms; full repaint (%zu) median %.2f ms, "
                "slowest %.2f ms\n",
                scaleQuarters / 4.0, Median(frames), paints.size(), Median(paints),
                paints.empty() ? 0.0 : *std::max_element(paints.begin(), paints.end()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "start")
        return Start(std::atoi(args[1].c_str()), static_cast<std::size_t>(std::atoi(args[2].c_str())));
    if (args.size() == 5 && args[0] == "handover")
        return Handover(args[1], args[2], std::atoi(args[3].c_str()), std::atoi(args[4].c_str()));
    if (args.size() == 4 && args[0] == "repaint")
        return Repaint(std::atoi(args[1].c_str()), std::atoi(args[2].c_str()),
                       static_cast<std::size_t>(std::atoi(args[3].c_str())));
    if (args.size() >= 3 && args[0] == "run")
        return Run(std::atoi(args[1].c_str()), std::vector<std::string>(args.begin() + 2, args.end()));
    std::fputs("usage: bench_program start ROUNDS STATIONS | handover VANTRI LINK STREAM SECOND | "
               "run SECONDS PROGRAM [ARGS...] | repaint ROUNDS REPAINTS STATIONS\n",
               stderr);
    return 2;
}
