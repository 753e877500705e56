// The main window's side of the chat extras: the chat sync offset of the show playing, which chat row
// the play position reaches with it, and the offset badge and activity strip of the current show.

#include "panels/MyInfoTabPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "program/MainWindow.h"

#include "platform/Window.h"

#include <algorithm>

void MainWindow::UpdateChat(std::int32_t second) {
    // The chat runs `offset` seconds behind the recording: at play second s it is at s - offset.
    const std::int32_t chatSecond = ChatSecondFor(second);
    MyChatPanel* chat = infoTabPanel ? infoTabPanel->chatPage : nullptr;
    if (tracker.UpdateChat(currentStream ? chatRows : nullptr, chatSecond) && chat && chat->listBox)
        chat->listBox->SetCurrentRow(chatIndex);
    if (chat) {
        if (chatPositionShow_ != std::pair{stationId, streamId}) {
            chatPositionShow_ = {stationId, streamId};
            chat->ForgetChatPosition();
        }
        chat->SetChatPosition(chatSecond, chatIndex);
    }
}

void MainWindow::ChangeChatOffset(std::int32_t delta, bool reset) {
    // Before any show was chosen there is no show to keep an offset for.
    if (stationId == 0 && streamId == 0)
        return;
    const std::int32_t old = ChatOffset();
    const std::int64_t wanted = reset ? 0 : static_cast<std::int64_t>(old) + delta;
    chatOffsets.Set(stationId, streamId,
                    static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, -MyChatOffsets::kMaxOffset,
                                                                       MyChatOffsets::kMaxOffset)));
    if (ChatOffset() == old)
        return;
    ShowChatExtras();
    if (currentStream && playSecond >= 0) {
        // A nudge of the sync is not a seek: the channel line does not pin for it.
        if (infoTabPanel && infoTabPanel->chatPage)
            infoTabPanel->chatPage->MoveChatPosition(ChatSecondFor(playSecond));
        UpdateChat(playSecond);
    }
}

std::int32_t MainWindow::ChatSecondFor(std::int32_t second) const {
    return chatOffsets.ChatSecond(stationId, streamId, second,
                                  currentStream ? currentStream->chatSync() : nullptr);
}

void MainWindow::PinChatHere() {
    if ((stationId == 0 && streamId == 0) || !currentStream || playSecond < 0)
        return;
    // The station's points are where the user's own begin, so that pinning one place keeps the others.
    const ChatSyncPoints* defaults = currentStream->chatSync();
    if (!chatOffsets.Pins(stationId, streamId) && defaults) {
        for (const ChatSyncPoint& point : *defaults)
            chatOffsets.AddPin(stationId, streamId, point);
    }
    // What the chat shows now becomes a sync point; the offset is then part of it.
    if (!chatOffsets.AddPin(stationId, streamId, {playSecond, ChatSecondFor(playSecond)}))
        return;
    chatOffsets.Set(stationId, streamId, 0);
    ShowChatExtras();
    UpdateChat(playSecond);
}

void MainWindow::ForgetChatPins() {
    if (!chatOffsets.Pins(stationId, streamId))
        return;
    chatOffsets.ForgetPins(stationId, streamId);
    if (currentStream && playSecond >= 0) {
        if (infoTabPanel && infoTabPanel->chatPage)
            infoTabPanel->chatPage->MoveChatPosition(ChatSecondFor(playSecond));
        UpdateChat(playSecond);
    }
}

void MainWindow::ShowChatExtras() {
    if (infoTabPanel && infoTabPanel->chatPage)
        infoTabPanel->chatPage->SetOffsetBadge(ChatOffset());
    if (playControlPanel && playControlPanel->posBar) {
        MyPlayPosBar* bar = playControlPanel->posBar;
        if (bar->activityRows != CurrentShowChat()) {
            bar->activityRows = CurrentShowChat();
            if (bar->showChatActivity) {
                bar->DropCache();
                bar->Redraw();
            }
        }
    }
}

const StreamChatRowList* MainWindow::CurrentShowChat() const {
    return currentStream && chatRowsStream_ == currentStream ? chatRows : nullptr;
}

bool MainWindow::OnKeyDown(int virtualKey) {
    const bool control = instance && instance->IsKeyDown(platform::VK_CONTROL);
    const bool shift = instance && instance->IsKeyDown(platform::VK_SHIFT);
    if (virtualKey == 'F' && control && !shift) {
        SearchChat(0);
        return true;
    }
    if (virtualKey == platform::VK_F1 + 2 && !control) {
        SearchChat(shift ? -1 : 1);
        return true;
    }
    return false;
}

void MainWindow::SearchChat(std::int32_t step) {
    MyChatPanel* chat = infoTabPanel ? infoTabPanel->chatPage : nullptr;
    if (!chat)
        return;
    // The chat lies under the pages: searching it brings it back.
    if (infoView != InfoView_Chat)
        ToggleInfoView(infoView);
    if (step == 0)
        chat->OpenSearch();
    else
        chat->StepSearch(step);
}

void MainWindow::PlayFromChatTime(std::int32_t chatSecond, std::int32_t) {
    if (!currentStream || currentStream->duration == 0)
        return;
    // The first play second whose chat second reaches the row's time: the chat's offset and sync points
    // taken back out. The chat second grows with the play second.
    std::int64_t low = 0, high = currentStream->duration;
    while (low < high) {
        const std::int64_t middle = low + (high - low) / 2;
        if (ChatSecondFor(static_cast<std::int32_t>(middle)) >= chatSecond)
            high = middle;
        else
            low = middle + 1;
    }
    SendSetPlayPos(
        static_cast<float>(static_cast<double>(low) / static_cast<double>(currentStream->duration)));
}
