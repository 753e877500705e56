#include "records/CatalogueRecords.h"

#include <algorithm>

StreamChatRow::StreamChatRow(std::int32_t time, std::uint8_t kind,
                             const std::vector<std::u16string_view>& args)
    : time(time), kind(kind),
      argCount(static_cast<std::uint8_t>(std::min<std::size_t>(args.size(), kMaxArgs))) {
    // Each text is zero-terminated, as a wide text is: a zero unit inside one ends it there.
    auto text = [&](int i) { return args[i].substr(0, args[i].find(u'\0')); };
    std::size_t units = 0;
    for (int i = 0; i < argCount; ++i)
        units += text(i).size() + 1;
    if (units == 0)
        return;
    texts_ = std::make_unique_for_overwrite<char16_t[]>(units);
    char16_t* out = texts_.get();
    for (int i = 0; i < argCount; ++i) {
        std::u16string_view t = text(i);
        out = std::copy(t.begin(), t.end(), out);
        *out++ = 0;
    }
}

std::u16string_view StreamChatRow::arg(int index) const {
    if (index < 0 || index >= argCount || !texts_)
        return {};
    const char16_t* p = texts_.get();
    for (int i = 0; i < index; ++i)
        p += std::char_traits<char16_t>::length(p) + 1;
    return std::u16string_view(p);
}

bool StreamChatRow::IsWellFormed() const {
    return IsWellFormedChatRow(kind, argCount,
                               [this](std::size_t i) { return arg(static_cast<int>(i)).empty(); });
}

bool StreamInfoData::SetTrackList(std::unique_ptr<TrackInfoList> list) {
    if (trackListOwner_ || !list)
        return false;
    trackListOwner_ = std::move(list);
    trackList_.store(trackListOwner_.get(), std::memory_order_release);
    return true;
}

bool StreamInfoData::SetChatRows(std::unique_ptr<StreamChatRowList> rows) {
    if (chatRowsOwner_ || !rows)
        return false;
    chatRowsOwner_ = std::move(rows);
    chatRows_.store(chatRowsOwner_.get(), std::memory_order_release);
    return true;
}

bool StreamInfoData::SetChatSync(std::unique_ptr<ChatSyncPoints> points) {
    if (chatSyncOwner_ || !points)
        return false;
    chatSyncOwner_ = std::move(points);
    chatSync_.store(chatSyncOwner_.get(), std::memory_order_release);
    return true;
}

void StationInfoData::StoreStream(std::unique_ptr<StreamInfoData> stream) {
    if (!stream)
        return;
    std::int32_t id = stream->streamId;
    streams[id] = std::move(stream);
}
