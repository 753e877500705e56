#pragma once
// The program's main window on the headless window system over a settings folder, without a media
// thread or a notification area; a second one over the same folder is a restart.

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/TrayIcon.h"
#include "program/MainWindow.h"
#include "program/MainWindowBase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace programtest {

class NoTray : public platform::TrayIcon {
public:
    bool available() const override { return false; }
    bool Add(const platform::IconImage&, const std::u16string&, platform::PostTarget*,
             std::uint32_t) override {
        return false;
    }
    bool Balloon(const std::u16string&, const std::u16string&, std::uint32_t) override { return false; }
    void Remove() override {}
};

struct FolderProgram {
    explicit FolderProgram(const std::u16string& folder) : settings(folder) {
        app.settings = &settings;
        app.instance = &system;
        EXPECT_TRUE(base.StartApplication(&system, &app, std::make_unique<NoTray>()));
        main = base.mainWindow;
        Pump();
    }
    void Pump() {
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
    }
    void Command(std::uint32_t command) {
        base.window->Send(platform::WM_COMMAND, command, 0);
        Pump();
    }

    platform::HeadlessWindowSystem system;
    MySettings settings;
    MyAppContext app;
    MainWindowBase base;
    MainWindow* main = nullptr;
};

} // namespace programtest
