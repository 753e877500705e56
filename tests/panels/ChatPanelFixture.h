#pragma once
// A chat panel of 400 × 300 pixels at the top left of a 600 × 400 window, and where its rows show.

#include "InfoPagesFixture.h"

#include "panels/MyChatPanel.h"

#include <utility>

namespace infotest {

class ChatPanelFixture : public InfoPagesFixture {
protected:
    void OpenChatPanel() {
        Open(600, 400);
        auto made = std::make_unique<MyChatPanel>(&app);
        made->Create(&owner.context, 0, 0, 400, 300);
        panel = Attach(std::move(made));
        list = panel->listBox;
    }
    // The screen rows of chat row `index` as the list shows it now.
    std::pair<std::int32_t, std::int32_t> RowBand(std::int32_t index) {
        const std::int32_t top = list->y + list->RowTop(index) - list->scrollOffset;
        return {top, top + list->RowHeight(index)};
    }

    MyChatPanel* panel = nullptr;
    MyChatListBox* list = nullptr;
};

} // namespace infotest
