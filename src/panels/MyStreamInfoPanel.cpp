#include "panels/MyStreamInfoPanel.h"

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "media/MyMediaHandlerMessages.h"
#include "platform/Window.h"
#include "ui/MyPopupMenu.h"
#include "ui/MySurface.h"

namespace {
constexpr COLORREF kLightEdge = 0xFAFAFA;
constexpr COLORREF kDarkEdge = 0xB4B4B4;
} // namespace

std::optional<float> TrackSeekFraction(std::int32_t start, std::uint32_t duration) {
    if (duration == 0)
        return std::nullopt;
    if (start <= 0)
        return 0.0f;
    const float fraction =
        static_cast<float>(static_cast<std::uint32_t>(start)) / static_cast<float>(duration);
    return fraction > 1.0f ? 1.0f : fraction;
}

void MyStreamInfoListBoxRow::Paint() {
    if (!surface)
        return;
    Dc& dc = surface->dc;
    const MyPalette palette = PaletteOf(*this);
    const bool marked = pressed || selected;
    if (palette.highContrast) {
        FillRect(dc, RECT{x, y, x + width, y + kRowHeight},
                 CreateSolidBrush(marked ? palette.selectionBackground : palette.background));
    } else if (skin) {
        const std::int32_t column =
            pressed ? kPressedColumn : (selected ? kHighlightColumn : (oddRow ? kOddColumn : kEvenColumn));
        StretchBlt(dc, x, y, width, kRowHeight, skin->dc, column, 0, 1, kRowHeight, SRCCOPY);
    }
    if (!font)
        font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
    const SavedDcState saved(dc);
    SetTextColor(dc, !palette.highContrast ? 0x000000 : (marked ? palette.selectionText : palette.text));
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font.get());
    constexpr std::uint32_t kFormat = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
    RECT timeArea{x + 4, y, x + 50, y + kRowHeight};
    DrawTextW(dc, timeText, &timeArea, kFormat);
    if (trackText) {
        RECT trackArea{x + 54, y, x + width - 4, y + kRowHeight};
        DrawTextW(dc, *trackText, &trackArea, kFormat);
    }
}

void MyStreamInfoPanel::OnCreate() {
    auto list = std::make_unique<MyListBoxV2>();
    list->accessibleName = u"Tracks";
    list->Create(context, 1, 1, width - 2, height - 2);
    listBox = AddChild(std::move(list));
}

void MyStreamInfoPanel::OnBoundsChanged(const RECT& oldRect) {
    if (oldRect.right - oldRect.left == width && oldRect.bottom - oldRect.top == height &&
        oldRect.left == bounds.left && oldRect.top == bounds.top)
        return;
    if (listBox)
        listBox->SetBounds(RECT{bounds.left + 1, bounds.top + 1, bounds.right - 1, bounds.bottom - 1});
}

void MyStreamInfoPanel::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    const SavedDcState saved(dc);
    SelectObject(dc, CreatePen(PS_SOLID, 1, kLightEdge));
    MoveToEx(dc, x, y + height - 1, nullptr);
    LineTo(dc, x, y);
    LineTo(dc, x + width - 1, y);
    SelectObject(dc, CreatePen(PS_SOLID, 1, kDarkEdge));
    LineTo(dc, x + width - 1, y + height - 1);
    LineTo(dc, x, y + height - 1);
}

void MyStreamInfoPanel::SetTracks(const TrackInfoList* newTracks, const StreamInfoData* stream) {
    tracks = newTracks;
    streamInfo = stream;
    listBox->Clear();
    currentTrack = -1;
    if (tracks) {
        std::int32_t n = 0;
        for (const TrackInfo& track : *tracks) {
            std::optional<std::u16string> trackText;
            if (!track.text1.empty() && !track.text2.empty())
                trackText = track.text1 + u" - " + track.text2;
            auto row = std::make_unique<MyStreamInfoListBoxRow>(skin, FormatDuration(track.start),
                                                                std::move(trackText), n % 2 == 1);
            row->Create(context, 0, 0, 0, 0);
            row->callbackTarget = this;
            row->LClickCallback = &MyStreamInfoPanel::SeekToTrack;
            row->RClickCallback = &MyStreamInfoPanel::TrackMenu;
            row->controlId = track.start;
            listBox->AddRow(std::move(row));
            ++n;
        }
    }
    Redraw();
}

void MyStreamInfoPanel::SeekToTrack(std::int32_t id) {
    if (!streamInfo || !appContext || !appContext->mediaHandler)
        return;
    if (const std::optional<float> fraction = TrackSeekFraction(id, streamInfo->duration))
        appContext->mediaHandler->QueueMessage(std::make_unique<MyMediaHandlerMessage_SetPlayPos>(*fraction));
}

void MyStreamInfoPanel::TrackMenu(std::int32_t id) {
    if (!streamInfo)
        return;
    if (appContext)
        appContext->menuLink.Set(streamInfo->stationId, streamInfo->streamId, id);
    if (!window || !instance)
        return;
    const POINT cursor = PopupMenuPoint(context);
    window->BringToFront();
    OpenPopupMenu(context, kTrackMenu, cursor, MyPopupMenuAlign_Top);
}
