#include "panels/MyAboutPanel.h"

#include "net/ServerAddresses.h"
#include "panels/MySettingsPanel.h"
#include "platform/Utf.h"
#include "platform/Window.h"

namespace {

struct Link {
    const char16_t* text;
    const char16_t* page; // under the web link base
};

constexpr Link kLinks[MyAboutPanel::kLinkCount] = {
    {u"Vantri on the web: news, help and the show archive", u""},
    {u"Vantri for other desktops", u"downloads/"},
    {u"Tell us what you think: questions and bug reports", u"contact/"},
};

} // namespace

const char16_t* const MyAboutPanel::kCreditsText =
    u"Made by the Vantri team.\r\n"
    u"\r\n"
    u"Vantri is a replayer for re-experience liveshows from the past.\r\n"
    u"\r\n"
    u"Idea by the Vantri listeners: stream the audio of past shows and replay their chat log.\r\n"
    u"Vantri is optimized for high speed and small size and memory footprint.\r\n"
    u"\r\n"
    u"Shortcuts:\r\n"
    u"Ctrl+V - Start playing link from clipboard\r\n"
    u"Ctrl+X and Ctrl+C - Create a link to current playing position and copy it to clipboard\r\n"
    u"F7 - Show stations\r\n"
    u"F8 - Show tracks in current stream\r\n"
    u"F9 - Show settings\r\n";

std::u16string MyAboutPanel::LinkAddress(std::int32_t id) {
    if (id < 0 || id >= kLinkCount)
        return {};
    return Utf8ToUtf16(WebLinkBase()) + kLinks[id].page;
}

void MyAboutPanel::OnCreate() {
    auto credits = std::make_unique<MyTextBox>(kCreditsText, 0x000000);
    credits->Create(context, 10, 50, width - 20, height - 80);
    creditsBox = AddChild(std::move(credits));
    for (std::int32_t i = 0; i < kLinkCount; ++i) {
        auto link = std::make_unique<MyTextBox>(kLinks[i].text, kLinkColour);
        link->isLink = true;
        link->Create(context, 10, height - 60 + 15 * i, width - 20, 50);
        link->callbackTarget = this;
        link->controlId = i;
        link->LClickCallback = &MyAboutPanel::OpenLink;
        linkBoxes[static_cast<std::size_t>(i)] = AddChild(std::move(link));
    }
}

void MyAboutPanel::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    const MyPalette palette = PaletteOf(*this);
    PaintPageBackground(dc, skin, bounds, palette);
    if (!titleFont)
        titleFont = CreateFontW(50, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS,
                                0, ANTIALIASED_QUALITY, 0, u"Arial");
    const SavedDcState saved(dc);
    SetTextColor(dc, palette.highContrast ? palette.text : 0x000000);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, titleFont.get());
    RECT area{bounds.left + 13, bounds.top + 10, bounds.right - 5, bounds.top + 60};
    DrawTextW(dc, u"Vantri", &area, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
}

void MyAboutPanel::OnBoundsChanged(const RECT& oldRect) {
    if (oldRect.left == x)
        return;
    if (creditsBox)
        creditsBox->SetBounds(RECT{x + 10, y + 50, x + width - 20, y + height - 50});
    for (std::int32_t i = 0; i < kLinkCount; ++i) {
        if (MyTextBox* link = linkBoxes[static_cast<std::size_t>(i)])
            link->SetBounds(RECT{x + 10, y + height - 60 + 15 * i, x + width - 20, y + height - 45 + 15 * i});
    }
}

void MyAboutPanel::OpenLink(std::int32_t id) {
    const std::u16string address = LinkAddress(id);
    if (!address.empty() && instance)
        instance->OpenWebLink(address); // a failure is ignored, as with any web link
}
