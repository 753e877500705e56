#include "program/MainWindowBase.h"

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "media/MyMediaHandler.h"
#include "platform/Environment.h"
#include "platform/Resources.h"
#include "program/Commands.h"
#include "ui/BitmapFile.h"
#include "ui/MyPopupMenu.h"

#include <cstring>

using namespace platform;

MainWindowBase::~MainWindowBase() {
    // The watch's thread posts to the window: it ends first.
    contrastWatch.reset();
    // No worker may post to the window from here on; a callback posted now finds no window and is
    // released by its sender.
    if (appContext) {
        appContext->mainWindowHandle = nullptr;
        if (appContext->accelerators == &accelerators)
            appContext->accelerators = nullptr;
    }
}

RECT MainWindowBase::StartRectangle(const MySettings& settings) {
    const MySettings::Rect& saved = settings.windowRect;
    const std::int64_t width = static_cast<std::int64_t>(saved.right) - saved.left;
    const std::int64_t height = static_cast<std::int64_t>(saved.bottom) - saved.top;
    if (width < kStartMinimumWidth || height < kStartMinimumHeight)
        return RECT{50, 50, 850, 650};
    return RECT{saved.left, saved.top, saved.right, saved.bottom};
}

bool MainWindowBase::StartApplication(WindowSystem* system, MyAppContext* context,
                                      std::unique_ptr<TrayIcon> trayBackend) {
    appContext = context;
    const std::u16string title = ProgramTitle();
    const RECT rect = context->settings ? StartRectangle(*context->settings) : RECT{50, 50, 850, 650};
    IconImage icon;
    DecodedImage decoded;
    if (DecodeIco(FindResource(108), 32, decoded))
        icon = IconImage{decoded.width, decoded.height, std::move(decoded.pixels)};
    // A saved rectangle larger than any screen still opens a window; the window manager fits it.
    const std::int32_t width = static_cast<std::int32_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(rect.right) - rect.left, 16384));
    const std::int32_t height = static_cast<std::int32_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(rect.bottom) - rect.top, 16384));
    if (!Create(system, std::u16string(kClassName), title, icon.pixels.empty() ? nullptr : &icon, rect.left,
                rect.top, width, height))
        return false;
    // The window manager keeps the window at least this large, so the edge opposite the dragged one
    // never jumps.
    window->SetMinimumSize(kMinimumWidth, kMinimumHeight);
    context->mainWindowHandle = window.get();

    auto main = std::make_unique<MainWindow>(context, std::move(trayBackend));
    mainWindow = main.get();
    root = std::move(main);
    mainWindow->Create(&this->context, 0, 0, clientWidth, clientHeight);

    handlers[MyTrayIcon::kCallbackMessage] = &MainWindowBase::HandleTrayIcon;
    handlers[WM_COPYDATA] = &MainWindowBase::HandleCopyData;
    handlers[WM_CLOSE] = &MainWindowBase::HandleClose;
    handlers[WM_COMMAND] = &MainWindowBase::HandleCommand;
    handlers[kInstanceMessage] = &MainWindowBase::HandleInstance;
    handlers[MediaControlsBridge::kCommandMessage] = &MainWindowBase::HandleMediaControls;
    handlers[kContrastMessage] = &MainWindowBase::HandleContrast;
    if (!ForcedContrast(GetEnv(std::string(kHighContrastVariable)))) {
        contrastWatch = WatchDesktopContrast([target = window.get()] {
            target->Post(WindowMessage{kContrastMessage, 0, 0});
        });
    }
    accelerators = LoadAcceleratorResource(115);
    context->accelerators = &accelerators;
    // A screen reader finds the window's controls when the desktop has an accessibility bus.
    EnableAccessibility(CreateAccessibility(window.get(), kAccessibilityMessage), u"Vantri");
    return true;
}

void MainWindowBase::OnDestroy() {
    if (appContext)
        appContext->mainWindowHandle = nullptr;
    if (context.instance)
        context.instance->PostQuitMessage(0);
}

void MainWindowBase::ApplyMinimumSize(RECT& rect, std::uintptr_t edge) {
    if (rect.right - rect.left < kMinimumWidth) {
        if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
            rect.left = rect.right - kMinimumWidth;
        else
            rect.right = rect.left + kMinimumWidth;
    }
    if (rect.bottom - rect.top < kMinimumHeight) {
        if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT)
            rect.bottom = rect.top + kMinimumHeight;
        else
            rect.top = rect.bottom - kMinimumHeight;
    }
}

void MainWindowBase::SaveRectangle(const RECT& rect) {
    if (!appContext || !appContext->settings)
        return;
    if (window && window->maximized())
        return;
    MySettings& settings = *appContext->settings;
    const MySettings::Rect saved{rect.left, rect.top, rect.right, rect.bottom};
    if (settings.windowRect == saved)
        return;
    settings.windowRect = saved;
    settings.Save();
}

void MainWindowBase::OnMoving(RECT& rect) {
    SaveRectangle(rect);
}

void MainWindowBase::OnSizing(RECT& rect, std::uintptr_t edge) {
    ApplyMinimumSize(rect, edge);
    SaveRectangle(rect);
}

void MainWindowBase::HandleCallbackMessage(std::unique_ptr<MyOwnerWindowMessageBase> message) {
    if (message && mainWindow)
        mainWindow->HandleCallbackMessage(*message);
}

void MainWindowBase::DiscardPostedMessage(const WindowMessage& message) {
    if (message.message == kInstanceMessage) {
        delete reinterpret_cast<std::string*>(message.lParam);
        return;
    }
    MyOwnerWindowBase::DiscardPostedMessage(message);
}

static_assert(MediaControlsBridge::kCommandMessage != MainWindowBase::kInstanceMessage &&
                  MediaControlsBridge::kCommandMessage != MyTrayIcon::kCallbackMessage &&
                  MainWindowBase::kAccessibilityMessage != MediaControlsBridge::kCommandMessage &&
                  MainWindowBase::kAccessibilityMessage != MainWindowBase::kInstanceMessage &&
                  MainWindowBase::kAccessibilityMessage != MyTrayIcon::kCallbackMessage &&
                  MainWindowBase::kContrastMessage != MainWindowBase::kInstanceMessage &&
                  MainWindowBase::kContrastMessage != MediaControlsBridge::kCommandMessage &&
                  MainWindowBase::kContrastMessage != MainWindowBase::kAccessibilityMessage &&
                  MainWindowBase::kContrastMessage != MyTrayIcon::kCallbackMessage,
              "each posted message of the main window has a number of its own");

std::intptr_t MainWindowBase::HandleContrast(std::uintptr_t, std::intptr_t, bool&) {
    if (mainWindow)
        mainWindow->OnDesktopContrastChanged();
    return 0;
}

std::intptr_t MainWindowBase::HandleMediaControls(std::uintptr_t wParam, std::intptr_t lParam, bool&) {
    if (mainWindow && mainWindow->mediaControls)
        mainWindow->mediaControls->HandleCommand(wParam, lParam);
    return 0;
}

std::intptr_t MainWindowBase::HandleTrayIcon(std::uintptr_t, std::intptr_t lParam, bool&) {
    if (!window)
        return 0;
    if (lParam == WM_LBUTTONDOWN) {
        window->Show(true);
        window->BringToFront();
    } else if (lParam == WM_RBUTTONDOWN && context.instance) {
        window->BringToFront();
        const Point cursor = window->ScreenToClient(context.instance->CursorPosition());
        OpenPopupMenu(&context, 109, POINT{cursor.x, cursor.y}, MyPopupMenuAlign_Bottom);
    }
    return 0;
}

std::intptr_t MainWindowBase::HandleCopyData(std::uintptr_t, std::intptr_t lParam, bool&) {
    const auto* data = reinterpret_cast<const CopyData*>(lParam);
    if (!data || !data->lpData || !appContext)
        return 0;
    // The data is a narrow string of at most cbData bytes, ending at its first zero.
    const std::size_t length = strnlen(data->lpData, data->cbData);
    const std::string_view text(data->lpData, length);
    if (!StartsWithLinkScheme(text))
        return 0;
    const auto link = ParseNarrowLink(text);
    if (!link)
        return 0;
    if (mainWindow) {
        mainWindow->stationId = link->stationId;
        mainWindow->streamId = link->streamId;
    }
    if (appContext->mediaHandler)
        appContext->mediaHandler->StartPlayStream(link->stationId, link->streamId,
                                                  static_cast<std::uint32_t>(link->seconds));
    return 0;
}

std::intptr_t MainWindowBase::HandleClose(std::uintptr_t, std::intptr_t, bool& handled) {
    if (appContext && appContext->settings &&
        appContext->settings->HasFlag(SettingsFlag_MinimizeToTrayOnClose) && mainWindow) {
        mainWindow->MinimizeOnClose();
        return 0;
    }
    handled = false; // the default processing destroys the window
    return 0;
}

std::intptr_t MainWindowBase::HandleCommand(std::uintptr_t wParam, std::intptr_t, bool&) {
    const std::uint32_t command = LowWord(wParam);
    switch (command) {
    case kCommand_ShowWindow:
        if (window) {
            window->Show(true);
            window->BringToFront();
        }
        break;
    case kCommand_Exit:
        if (window)
            window->Destroy();
        break;
    default:
        if (mainWindow)
            mainWindow->HandleCommand(command);
        break;
    }
    return 0;
}

void MainWindowBase::HandleInstanceMessage(std::string_view commandLine) {
    if (!window || window->destroyed())
        return;
    window->Show(true);
    window->BringToFront();
    if (commandLine == "kill") {
        window->Send(WM_COMMAND, kCommand_Exit, 0);
        return;
    }
    if (commandLine.empty())
        return;
    const std::string copy(commandLine);
    CopyData data;
    data.dwData = 1;
    data.cbData = static_cast<std::uint32_t>(copy.size() + 1);
    data.lpData = copy.c_str();
    window->Send(WM_COPYDATA, 0, reinterpret_cast<std::intptr_t>(&data));
}

std::intptr_t MainWindowBase::HandleInstance(std::uintptr_t, std::intptr_t lParam, bool&) {
    std::unique_ptr<std::string> commandLine(reinterpret_cast<std::string*>(lParam));
    if (commandLine)
        HandleInstanceMessage(*commandLine);
    return 0;
}
