// A window for a person to look at: a row of tab buttons and a list box of 10,000 rows of varying
// height drawn with the skins. Click the tabs, scroll with the wheel or the thumb, press rows.
//
//   gallery                        opens the window
//   gallery --screenshot FILE.bmp  draws it, saves what the screen shows and ends

#include "platform/Resources.h"
#include "platform/Window.h"
#include "ui/BitmapFile.h"
#include "ui/MyListBoxV2.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyTabButton.h"
#include "ui/MyWindowBase.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

class GalleryRow : public MyListBoxV2ItemBase {
public:
    GalleryRow(Font* font, std::int32_t number) : font(font), number(number) {}

    std::uint16_t MeasureHeight(std::int32_t width) override {
        // Three kinds of row; the tall ones wrap onto more lines when the list is narrow.
        const int lines = 1 + (number % 3 == 0 ? 1 : 0) + (number % 7 == 0 ? (width < 400 ? 2 : 1) : 0);
        height = static_cast<std::uint16_t>(6 + 16 * lines);
        return height;
    }
    void OnLButtonDown(POINT) override {
        pressed = true;
        Redraw();
    }
    void OnLButtonUp(POINT point) override {
        pressed = false;
        Redraw();
        MyListBoxV2ItemBase::OnLButtonUp(point);
    }
    void Paint() override {
        if (!surface)
            return;
        Dc& dc = surface->dc;
        const COLORREF shade =
            pressed ? RGB(0xD2, 0xD2, 0xD2)
                    : (selected ? RGB(0xDC, 0xE9, 0xF9)
                                : (number % 2 ? RGB(0xEB, 0xEB, 0xEB) : RGB(0xF7, 0xF7, 0xF7)));
        FillRect(dc, bounds, CreateSolidBrush(shade));
        Font* old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0x202020);
        std::u16string text =
            u"Row " + std::u16string(std::to_string(number).begin(), std::to_string(number).end());
        if (number % 3 == 0)
            text += u"\r\nA second line, with Кириллица and 日本語";
        if (number % 7 == 0)
            text +=
                u"\r\nA third line that is long enough to be cut with an ellipsis when the window is narrow";
        RECT area{bounds.left + 8, bounds.top + 3, bounds.right - 4, bounds.bottom};
        DrawTextW(dc, text, &area, DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old);
    }

    Font* font;
    std::int32_t number;
    bool pressed = false;
};

class GalleryRoot : public MyWindowBase {
public:
    void OnCreate() override {
        backgroundColour = RGB(0xEE, 0xEE, 0xEE);
        if (!skin.LoadSkin(backBuffer, 106, instance))
            std::fprintf(stderr, "skin 106 missing\n");
        font = CreateFontW(14, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
        const char16_t* names[] = {u"Stations", u"Settings", u"?"};
        for (int i = 0; i < 3; ++i) {
            auto tab = std::make_unique<MyTabButton>(&skin);
            tab->Create(context, 5 + 75 * i, 5, i == 2 ? 38 : 70, 38);
            tab->callbackTarget = this;
            tab->controlId = i;
            tab->LClickCallback = &GalleryRoot::SelectTab;
            tabs[i] = AddChild(std::move(tab));
            tabs[i]->SetText(names[i]);
        }
        auto made = std::make_unique<MyListBoxV2>();
        made->Create(context, 0, 48, width, height - 48);
        made->backgroundColour = RGB(0xCE, 0xCE, 0xCE);
        list = AddChild(std::move(made));
        for (int n = 0; n < 10000; ++n) {
            auto row = std::make_unique<GalleryRow>(font.get(), n);
            row->Create(context, 0, 0, 0, 0);
            row->callbackTarget = this;
            row->controlId = n;
            row->LClickCallback = &GalleryRoot::SelectRow;
            list->AddRow(std::move(row));
        }
    }
    void OnBoundsChanged(const RECT&) override {
        if (list)
            list->SetBounds(RECT{bounds.left, bounds.top + 48, bounds.right, bounds.bottom});
    }
    void SelectTab(std::int32_t id) {
        for (int i = 0; i < 3; ++i) {
            tabs[i]->selected = i == id && !tabs[i]->selected;
            tabs[i]->Redraw();
        }
    }
    void SelectRow(std::int32_t id) { list->SelectRow(id); }

    MySurface skin;
    std::unique_ptr<Font> font;
    MyTabButton* tabs[3] = {};
    MyListBoxV2* list = nullptr;
};

class GalleryWindow : public MyOwnerWindowBase {
public:
    void OnDestroy() override { context.instance->PostQuitMessage(0); }
};

} // namespace

// Waits (at most 10 s) until the screen shows the window's drawing, then writes it as a bitmap file.
int SaveScreenshot(platform::WindowSystem& system, MyOwnerWindowBase& window, const char* path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    DecodedImage shot;
    while (std::chrono::steady_clock::now() < deadline) {
        platform::Message message;
        while (system.PeekMessage(message))
            system.DispatchMessage(message);
        if (window.window->ReadScreen(shot.pixels, shot.width, shot.height) && !shot.pixels.empty() &&
            shot.pixels[5 * shot.width + 5] == (window.backBuffer.bitmap->row(5)[5] & 0xFFFFFF))
            break;
    }
    const auto bytes = EncodeBmp24(shot);
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    return std::fclose(f) == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    auto system = platform::OpenDesktopWindowSystem();
    if (!system) {
        std::fprintf(stderr, "gallery: no display\n");
        return 1;
    }
    system->InstallMessageBoxSink();
    platform::IconImage icon;
    DecodedImage decoded;
    if (DecodeIco(platform::FindResource(108), 32, decoded))
        icon = {decoded.width, decoded.height, decoded.pixels};
    GalleryWindow window;
    if (!window.Create(system.get(), u"VantriGallery", u"Vantri gallery", &icon, 60, 60, 800, 600))
        return 1;
    window.window->SetMinimumSize(300, 200);
    window.root = std::make_unique<GalleryRoot>();
    window.root->Create(&window.context, 0, 0, window.clientWidth, window.clientHeight);
    window.root->Redraw();
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0)
        return SaveScreenshot(*system, window, argv[2]);
    platform::Message message;
    while (system->GetMessage(message)) {
        system->DispatchMessage(message);
        if (system->PeekPaintMessage(message)) {
            if (message.message == platform::WM_QUIT)
                break;
            system->DispatchMessage(message);
        }
    }
    return system->exitCode();
}
