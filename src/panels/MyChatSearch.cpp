// The chat panel's search: the bar over the chat, the rows that hold the query, stepping through them and
// playing from one.

#include "app/Links.h"
#include "panels/MyChatPanel.h"
#include "panels/MyChatSearchBar.h"

#include <algorithm>
#include <string>

void MyChatPanel::CreateSearchBar() {
    auto bar = std::make_unique<MyChatSearchBar>();
    bar->visible = false;
    bar->Create(context, 0, 0, width, MyChatSearchBar::kHeight);
    searchBar = AddChild(std::move(bar));
    MyTextInput& input = *searchBar->input;
    input.callbackTarget = this;
    input.TextChangedCallback = &MyChatPanel::OnSearchTextChanged;
    input.SubmitCallback = &MyChatPanel::OnSearchSubmit;
    input.CancelCallback = &MyChatPanel::OnSearchCancel;
    LayOutChildren();
}

bool MyChatPanel::searchOpen() const {
    return searchBar && searchBar->visible;
}

void MyChatPanel::OpenSearch() {
    if (!searchBar)
        return;
    if (!searchBar->visible) {
        searchBar->visible = true;
        LayOutChildren();
        if (listBox)
            listBox->dirty = true;
        RunSearch();
    }
    searchBar->input->Focus();
    searchBar->input->state.SelectAll();
    Redraw();
}

void MyChatPanel::CloseSearch() {
    if (!searchOpen())
        return;
    if (context && context->keyboardFocus == searchBar->input)
        SetKeyboardFocus(context, nullptr);
    searchBar->visible = false;
    searchPattern_.reset();
    searchMatches_.clear();
    shownMatch_ = -1;
    if (listBox) {
        listBox->searchPattern = nullptr;
        listBox->searchMatches = nullptr;
        listBox->shownMatchRow = -1;
    }
    LayOutChildren();
    if (listBox)
        listBox->FollowCurrentRow();
    Redraw();
}

void MyChatPanel::StepSearch(std::int32_t direction) {
    if (!searchOpen()) {
        OpenSearch();
        return;
    }
    if (searchMatches_.empty())
        return;
    const auto count = static_cast<std::int32_t>(searchMatches_.size());
    shownMatch_ =
        ((shownMatch_ < 0 ? (direction > 0 ? -1 : 0) : shownMatch_) + (direction > 0 ? 1 : -1) + count) %
        count;
    ShowMatch();
}

void MyChatPanel::OnSearchTextChanged(std::int32_t) {
    RunSearch();
}

void MyChatPanel::OnSearchSubmit(std::int32_t) {
    if (shownMatch_ < 0 || !listBox)
        return;
    const std::int32_t row = searchMatches_[static_cast<std::size_t>(shownMatch_)];
    if (row < 0 || static_cast<std::size_t>(row) >= listBox->lines.size())
        return;
    SearchPlayCallback(searchTarget, listBox->lines[static_cast<std::size_t>(row)].time, controlId);
}

void MyChatPanel::OnSearchCancel(std::int32_t) {
    CloseSearch();
}

void MyChatPanel::RunSearch() {
    if (!searchBar || !listBox)
        return;
    searchPattern_ = std::make_unique<SearchPattern>(searchBar->input->text());
    searchMatches_.clear();
    shownMatch_ = -1;
    if (!searchPattern_->empty()) {
        if (!searchIndex.built())
            searchIndex.Build(listBox->lines);
        searchMatches_ = searchIndex.Find(*searchPattern_);
    }
    if (!searchMatches_.empty()) {
        // The newest match the play position has reached, else the first one after it.
        const auto after =
            std::upper_bound(searchMatches_.begin(), searchMatches_.end(), listBox->currentIndex);
        shownMatch_ = static_cast<std::int32_t>(
            after == searchMatches_.begin() ? 0 : after - searchMatches_.begin() - 1);
    }
    ShowMatch();
}

void MyChatPanel::ShowMatch() {
    if (!searchBar || !listBox)
        return;
    const bool any = searchPattern_ && !searchPattern_->empty();
    listBox->searchPattern = any ? searchPattern_.get() : nullptr;
    listBox->searchMatches = any ? &searchMatches_ : nullptr;
    const std::int32_t row = shownMatch_ >= 0 ? searchMatches_[static_cast<std::size_t>(shownMatch_)] : -1;
    listBox->shownMatchRow = row;
    std::u16string status;
    if (any && searchMatches_.empty()) {
        status = u"No match";
    } else if (row >= 0) {
        const std::string counted =
            std::to_string(shownMatch_ + 1) + " of " + std::to_string(searchMatches_.size());
        status.assign(counted.begin(), counted.end());
        if (!listBox->RowShows(row))
            status +=
                u" \u00B7 later, at " + FormatDuration(listBox->lines[static_cast<std::size_t>(row)].time);
    }
    searchBar->SetStatus(status);
    listBox->dirty = true;
    if (row >= 0 && listBox->RowShows(row))
        listBox->ScrollRowIntoView(row);
    else
        listBox->Redraw();
}
