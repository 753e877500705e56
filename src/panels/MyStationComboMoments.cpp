// The station chooser's saved moments: the "Moments" entry heading the stations view, a row a moment
// under it, their menu, and the input a moment's note is written in.

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "panels/MyStationComboPanel.h"
#include "platform/Window.h"
#include "ui/MyPopupMenu.h"

void MyStationComboPanel::AddMomentRows(std::int32_t& n) {
    if (!moments || moments->empty())
        return;
    AddHeadingRow(kMomentsName, kMomentsId, n);
    if (!expandedStations.count(kMomentsId))
        return;
    // Newest first, as the streams are.
    for (std::size_t i = moments->size(); i-- > 0;) {
        const MyMoment& moment = (*moments)[i];
        auto row = std::make_unique<MyStationComboMomentListBoxRow>(
            skin, &fonts_, moment.stationId, moment.streamId, moment.second, static_cast<std::int32_t>(i));
        row->Create(context, 0, 0, 0, 0);
        row->SetDateText(FormatDuration(moment.second));
        const auto station = stationsById.find(moment.stationId);
        const StreamInfoData* stream = nullptr;
        if (station != stationsById.end()) {
            row->headline = station->second->name;
            const auto found = station->second->streams.find(moment.streamId);
            if (found != station->second->streams.end())
                stream = found->second.get();
        }
        if (stream) {
            row->headline += u" - ";
            row->headline += stream->text1;
        }
        row->detailLeft = moment.track;
        row->detailRight = moment.note;
        row->callbackTarget = this;
        row->LClickCallback = &MyStationComboPanel::PlayMoment;
        row->RClickCallback = &MyStationComboPanel::MomentMenu;
        row->controlId = n++;
        listBox->AddRow(std::move(row));
    }
}

void MyStationComboPanel::AddHeadingRow(std::u16string_view name, std::int32_t id, std::int32_t& n) {
    // Made anew at every fill, as the rows under it are: the pool of reused rows is the stations'.
    auto heading = std::make_unique<MyStationComboStationListBoxRow>(skin, &fonts_, std::u16string(name), id);
    heading->Create(context, 0, 0, 0, 0);
    heading->callbackTarget = this;
    heading->LButtonDownCallback = &MyStationComboPanel::ToggleStation;
    heading->controlId = n++;
    listBox->AddRow(std::move(heading));
}

void MyStationComboPanel::PlayMoment(std::int32_t id) {
    auto* row = dynamic_cast<MyStationComboMomentListBoxRow*>(listBox ? listBox->RowAt(id) : nullptr);
    if (row)
        PlayMomentCallback(callbackTarget, row->stationId, row->streamId, row->second);
}

void MyStationComboPanel::MomentMenu(std::int32_t id) {
    auto* row = dynamic_cast<MyStationComboMomentListBoxRow*>(listBox ? listBox->RowAt(id) : nullptr);
    if (!row)
        return;
    menuMoment = row->momentIndex;
    if (appContext)
        appContext->menuLink.Set(row->stationId, row->streamId, row->second);
    if (!window || !instance)
        return;
    const POINT cursor = PopupMenuPoint(context);
    window->BringToFront();
    OpenPopupMenu(context, kMomentMenu, cursor, MyPopupMenuAlign_Top);
}

void MyStationComboPanel::CreateNoteInput() {
    auto input = std::make_unique<MyTextInput>();
    input->placeholder = u"A note on this moment";
    input->Create(context, 0, 0, 0, 0);
    input->visible = false;
    input->callbackTarget = this;
    input->SubmitCallback = &MyStationComboPanel::OnNoteSubmitted;
    input->CancelCallback = &MyStationComboPanel::OnNoteCancelled;
    noteInput = AddChild(std::move(input));
}

bool MyStationComboPanel::EditMomentNote(std::int32_t momentIndex) {
    if (!noteInput || !listBox || !moments || momentIndex < 0 ||
        static_cast<std::size_t>(momentIndex) >= moments->size())
        return false;
    for (std::size_t i = 0; i < listBox->rows.size(); ++i) {
        auto* row = dynamic_cast<MyStationComboMomentListBoxRow*>(listBox->rows[i].get());
        if (!row || row->momentIndex != momentIndex)
            continue;
        const std::int32_t index = static_cast<std::int32_t>(i);
        const std::int32_t rowTop = listBox->RowTop(index);
        if (rowTop < listBox->scrollOffset ||
            rowTop + MyStationComboStreamListBoxRow::kHeight > listBox->scrollOffset + listBox->height)
            listBox->SetScrollOffset(rowTop);
        // Over the moment's row, inside its plate.
        const std::int32_t top = listBox->y + listBox->RowTop(index) - listBox->scrollOffset;
        const std::int32_t bottom = top + MyStationComboStreamListBoxRow::kHeight;
        noteInput->SetBounds(RECT{listBox->x + 14, top + 5, listBox->x + listBox->width - 24, bottom - 5});
        noteInput->SetText((*moments)[static_cast<std::size_t>(momentIndex)].note);
        noteInput->visible = true;
        noteMoment = momentIndex;
        noteInput->Focus();
        Redraw();
        return true;
    }
    return false;
}

void MyStationComboPanel::EndNote() {
    if (!noteInput || !noteInput->visible)
        return;
    noteInput->visible = false;
    noteMoment = -1;
    Redraw();
}

void MyStationComboPanel::OnNoteSubmitted(std::int32_t) {
    const std::int32_t moment = noteMoment;
    NoteWrittenCallback(callbackTarget, moment);
    EndNote();
}

void MyStationComboPanel::OnNoteCancelled(std::int32_t) {
    EndNote();
}
