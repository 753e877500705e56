#include "panels/MyStationComboPanel.h"

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "media/MyMediaHandlerMessages.h"
#include "platform/Window.h"
#include "ui/MyPopupMenu.h"
#include "ui/MySurface.h"

#include <algorithm>

namespace {

// One UTF-16 unit in lower case, for the scripts station names are written in: Latin (with Latin-1 and
// Latin Extended-A), Greek and Cyrillic. Other units compare as they are.
char16_t LowerUnit(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x178)
        return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) ? static_cast<char16_t>(c + (c & 1))
                                                                        : static_cast<char16_t>(c | 1);
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    return c;
}

// Newest first; start times compare as unsigned 32-bit numbers.
bool Newer(const StreamInfoData* a, const StreamInfoData* b) {
    return static_cast<std::uint32_t>(a->startTime) > static_cast<std::uint32_t>(b->startTime);
}

// Adds the station's streams to `streams`.
void GatherStreams(const StationInfoData& station, std::vector<const StreamInfoData*>& streams) {
    for (const auto& entry : station.streams)
        if (entry.second)
            streams.push_back(entry.second.get());
}

} // namespace

std::vector<const StreamInfoData*> MyStationComboPanel::StreamsNewestFirst(const StationInfoData& station) {
    std::vector<const StreamInfoData*> streams;
    GatherStreams(station, streams);
    std::stable_sort(streams.begin(), streams.end(), Newer);
    return streams;
}

// ---- MyStationComboPanelButton ------------------------------------------------------------------------

void MyStationComboPanelButton::Paint() {
    if (!backBuffer || !skin)
        return;
    const std::int32_t c = kind == 0 ? 0 : 35;
    std::int32_t sourceX = c;
    std::int32_t sourceY;
    if (active)
        sourceY = pressed ? 218 : 186;
    else if (pressed)
        sourceY = 154;
    else
        sourceX = c + 8, sourceY = 114; // the button as the header image shows it
    BitBlt(*backBuffer, x, y, kind == 0 ? 35 : 36, 32, skin->dc, sourceX, sourceY, SRCCOPY);
}

// ---- MyStationComboPanel ------------------------------------------------------------------------------

MyStationComboPanel::~MyStationComboPanel() {
    retiredRows_.clear();
}

bool MyStationComboPanel::NameLess(const std::u16string& a, const std::u16string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t l, char16_t r) { return LowerUnit(l) < LowerUnit(r); });
}

void MyStationComboPanel::OnCreate() {
    auto stations = std::make_unique<MyStationComboPanelButton>(skin, 0);
    stations->Create(context, 8, 8, 35, 32);
    stations->callbackTarget = this;
    stations->LClickCallback = &MyStationComboPanel::ShowStationsView;
    stations->active = true;

    auto streams = std::make_unique<MyStationComboPanelButton>(skin, 1);
    streams->Create(context, 43, 8, 36, 32);
    streams->callbackTarget = this;
    streams->LClickCallback = &MyStationComboPanel::ShowStreamsView;

    auto list = std::make_unique<MyListBoxV2>();
    list->accessibleName = u"Stations";
    list->Create(context, 1, 49, width - 2, height - 50);
    list->backgroundColour = kRowBackground;

    stationsViewButton = AddChild(std::move(stations));
    streamsViewButton = AddChild(std::move(streams));
    listBox = AddChild(std::move(list));

    auto input = std::make_unique<MyTextInput>();
    input->placeholder = u"Search shows and tracks";
    const RECT r = SearchInputRect();
    input->Create(context, r.left - x, r.top - y, r.width(), r.height());
    input->callbackTarget = this;
    input->TextChangedCallback = &MyStationComboPanel::OnSearchChanged;
    input->CancelCallback = &MyStationComboPanel::OnSearchCancelled;
    input->SubmitCallback = &MyStationComboPanel::OnSearchSubmitted;
    searchInput = AddChild(std::move(input));
    CreateNoteInput();
}

RECT MyStationComboPanel::SearchInputRect() const {
    // In the header, right of the view buttons, on its plain stretched part.
    constexpr std::int32_t kLeft = 88, kTop = 13, kHeight = 22, kRightMargin = 8;
    return RECT{x + kLeft, y + kTop, std::max(x + kLeft + 40, x + width - kRightMargin), y + kTop + kHeight};
}

void MyStationComboPanel::OnBoundsChanged(const RECT& oldRect) {
    if (oldRect.right - oldRect.left == width && oldRect.bottom - oldRect.top == height)
        return;
    if (listBox)
        listBox->SetBounds(RECT{bounds.left + 1, bounds.top + 49, bounds.right - 1, bounds.bottom - 1});
    if (searchInput)
        searchInput->SetBounds(SearchInputRect());
}

void MyStationComboPanel::Paint() {
    // A rebuild AddStation asked for happens here, once, before the list paints as this panel's child.
    if (rebuildPending_)
        FillList();
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    const std::int32_t w = width;
    const std::int32_t h = height;
    const SavedDcState saved(dc);
    SelectObject(dc, CreatePen(PS_SOLID, 1, 0xFAFAFA));
    MoveToEx(dc, x, y + h - 1, nullptr);
    LineTo(dc, x, y + 48);
    LineTo(dc, x + w - 1, y + 48);
    SelectObject(dc, CreatePen(PS_SOLID, 1, 0xB4B4B4));
    LineTo(dc, x + w - 1, y + h - 1);
    LineTo(dc, x, y + h - 1);
    if (skin) {
        BitBlt(dc, x, y, 85, 48, skin->dc, 0, 106, SRCCOPY);
        StretchBlt(dc, x + 85, y, w - 86, 48, skin->dc, 85, 106, 1, 48, SRCCOPY);
        BitBlt(dc, x + w - 1, y, 1, 48, skin->dc, 86, 106, SRCCOPY);
    }
}

void MyStationComboPanel::AddStation(const StationInfoData* station) {
    if (!station || stationsById.count(station->stationId))
        return;
    stationsById[station->stationId] = station;
    // Sorted insertion after every equal name: the order a stable sort of the appended list gives.
    const auto at = std::upper_bound(
        sortedStations.begin(), sortedStations.end(), station,
        [](const StationInfoData* a, const StationInfoData* b) { return NameLess(a->name, b->name); });
    sortedStations.insert(at, station);
    rebuildPending_ = true;
    RedrawBeforePaint();
}

void MyStationComboPanel::RebuildList() {
    FillList();
    Redraw();
}

namespace {
// Keys of rows kept from the last rebuild: a stream by its station and stream ids, a station by its id
// with the top bit set.
std::uint64_t StreamKey(std::int32_t stationId, std::int32_t streamId) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(stationId)) << 32) |
           static_cast<std::uint32_t>(streamId);
}
std::uint64_t StationKey(std::int32_t stationId) {
    return (std::uint64_t{1} << 63) | static_cast<std::uint32_t>(stationId);
}

template <typename Row> std::unique_ptr<Row> TakeRow(MyStationComboPanel::RowPool& pool, std::uint64_t key) {
    const auto found = pool.find(key);
    if (found == pool.end())
        return nullptr;
    auto* typed = dynamic_cast<Row*>(found->second.get());
    if (!typed)
        return nullptr;
    found->second.release();
    pool.erase(found);
    return std::unique_ptr<Row>(typed);
}
} // namespace

void MyStationComboPanel::AddStreamRow(RowPool& pool, const StreamInfoData& stream,
                                       const std::u16string* headline, bool withMenu, std::int32_t& n) {
    auto row = TakeRow<MyStationComboStreamListBoxRow>(pool, StreamKey(stream.stationId, stream.streamId));
    if (row) {
        row->pressed = false;
        row->selected = false;
    } else {
        row = std::make_unique<MyStationComboStreamListBoxRow>(skin, &fonts_, stream.stationId,
                                                               stream.streamId, stream.startTime);
        row->Create(context, 0, 0, 0, 0);
        row->headline = headline ? *headline : stream.text1;
        row->detailLeft = stream.text2;
        row->detailRight = stream.text3;
        row->callbackTarget = this;
        row->LClickCallback = &MyStationComboPanel::PlayStream;
        if (withMenu)
            row->RClickCallback = &MyStationComboPanel::StreamMenu;
    }
    row->controlId = n++;
    listBox->AddRow(std::move(row));
}

void MyStationComboPanel::FillList() {
    rebuildPending_ = false;
    if (!listBox)
        return;
    ++rebuilds;
    // Rows of the view shown before are kept for reuse: the same record gives the same row, so a rebuild
    // after a new station or a toggle makes only the rows it did not have. Rows of another view are not
    // reused (their headlines differ).
    RowPool pool;
    if (builtViewMode_ == viewMode) {
        pool.reserve(listBox->rows.size());
        for (auto& row : listBox->rows) {
            if (dynamic_cast<MyStationComboMomentListBoxRow*>(row.get()))
                continue; // moments are made anew: their indices move as moments come and go
            if (auto* stream = dynamic_cast<MyStationComboStreamListBoxRow*>(row.get()))
                pool.try_emplace(StreamKey(stream->stationId, stream->streamId), std::move(row));
            else if (auto* station = dynamic_cast<MyStationComboStationListBoxRow*>(row.get()))
                pool.try_emplace(StationKey(station->stationId), std::move(row));
        }
    }
    // Rows not taken back are deleted, except while one of the list's rows is running its own callback:
    // then they stay alive until the next rebuild, so that no row is deleted under its own handler.
    auto release = [&](std::unique_ptr<MyListBoxV2ItemBase> row) {
        if (row && rowCallbackDepth_ > 0)
            retiredRows_.push_back(std::move(row));
    };
    if (rowCallbackDepth_ == 0)
        retiredRows_.clear();
    for (auto& row : listBox->rows)
        release(std::move(row));
    listBox->Clear();
    builtViewMode_ = viewMode;

    std::int32_t n = 0;
    if (Searching()) {
        // Result rows are made afresh each time: several may stand for one stream.
        for (auto& entry : pool)
            release(std::move(entry.second));
        builtViewMode_ = -1;
        FillSearchResults(n);
        FillChatResults(n);
        return;
    }
    if (viewMode == 0) {
        AddRecentRows(n);
        AddMomentRows(n);
        for (const StationInfoData* station : sortedStations) {
            auto row = TakeRow<MyStationComboStationListBoxRow>(pool, StationKey(station->stationId));
            if (!row) {
                row = std::make_unique<MyStationComboStationListBoxRow>(skin, &fonts_, station->name,
                                                                        station->stationId);
                row->Create(context, 0, 0, 0, 0);
                row->callbackTarget = this;
                row->LButtonDownCallback = &MyStationComboPanel::ToggleStation;
            }
            row->controlId = n++;
            listBox->AddRow(std::move(row));
            if (!expandedStations.count(station->stationId))
                continue;
            for (const StreamInfoData* stream : StreamsNewestFirst(*station))
                AddStreamRow(pool, *stream, nullptr, true, n);
        }
    } else {
        std::vector<const StreamInfoData*> streams;
        for (const StationInfoData* station : sortedStations)
            GatherStreams(*station, streams);
        std::stable_sort(streams.begin(), streams.end(), Newer);
        listBox->rows.reserve(streams.size());
        std::u16string headline;
        for (const StreamInfoData* stream : streams) {
            headline.clear();
            const auto found = stationsById.find(stream->stationId);
            if (found != stationsById.end())
                headline = found->second->name;
            headline += u" - ";
            headline += stream->text1;
            AddStreamRow(pool, *stream, &headline, false, n);
        }
    }
    for (auto& entry : pool)
        release(std::move(entry.second));
}

void MyStationComboPanel::ShowStationsView(std::int32_t) {
    if (viewMode == 0)
        return;
    stationsViewButton->active = true;
    stationsViewButton->Redraw();
    if (streamsViewButton->active) {
        streamsViewButton->active = false;
        streamsViewButton->Redraw();
    }
    viewMode = 0;
    RebuildList();
}

void MyStationComboPanel::ShowStreamsView(std::int32_t) {
    if (viewMode == 1)
        return;
    streamsViewButton->active = true;
    streamsViewButton->Redraw();
    if (stationsViewButton->active) {
        stationsViewButton->active = false;
        stationsViewButton->Redraw();
    }
    viewMode = 1;
    RebuildList();
}

void MyStationComboPanel::ToggleStation(POINT, std::int32_t id) {
    auto* row = dynamic_cast<MyStationComboStationListBoxRow*>(listBox ? listBox->RowAt(id) : nullptr);
    if (!row)
        return;
    // The rebuild below takes this row out of the list while its press handler is still running; the
    // depth tells the rebuild to keep it alive.
    ++rowCallbackDepth_;
    const std::int32_t offset = listBox->scrollOffset;
    const std::int32_t stationId = row->stationId;
    if (!expandedStations.erase(stationId))
        expandedStations.insert(stationId);
    RebuildList();
    listBox->SetScrollOffset(offset);
    --rowCallbackDepth_;
}

void MyStationComboPanel::PlayStream(std::int32_t id) {
    auto* row = dynamic_cast<MyStationComboStreamListBoxRow*>(listBox ? listBox->RowAt(id) : nullptr);
    if (!row)
        return;
    const std::int32_t stationId = row->stationId;
    const std::int32_t streamId = row->streamId;
    const std::int32_t second = row->startSecond;
    PlayStreamCallback(callbackTarget, stationId, streamId);
    if (appContext && appContext->mediaHandler) {
        // A found track plays from its start: a start at a time.
        auto message =
            second > 0
                ? std::make_unique<MyMediaHandlerMessage_StartPlayStream>(stationId, streamId, -1.0f,
                                                                          static_cast<std::uint32_t>(second))
                : std::make_unique<MyMediaHandlerMessage_StartPlayStream>(stationId, streamId, 0.0f, 0u);
        appContext->mediaHandler->QueueMessage(std::move(message));
    }
}

void MyStationComboPanel::StreamMenu(std::int32_t id) {
    auto* row = dynamic_cast<MyStationComboStreamListBoxRow*>(listBox ? listBox->RowAt(id) : nullptr);
    if (!row)
        return;
    if (appContext)
        appContext->menuLink.Set(row->stationId, row->streamId, 0);
    if (!window || !instance)
        return;
    const POINT cursor = PopupMenuPoint(context);
    window->BringToFront();
    // Commands 40037 and 40038: keeping a show for offline listening, or forgetting its copy.
    const std::uint32_t hidden[] = {IsKeptOffline(row->stationId, row->streamId) ? 40037u : 40038u};
    OpenPopupMenu(context, kStreamMenu, cursor, MyPopupMenuAlign_Top, hidden);
}

void MyStationComboPanel::SetKeptOffline(std::int32_t stationId, std::int32_t streamId, bool kept) {
    if (kept)
        keptOffline_.insert({stationId, streamId});
    else
        keptOffline_.erase({stationId, streamId});
}
