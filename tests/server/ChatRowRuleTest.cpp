#include "ArchiveFiles.h"
#include "records/CatalogueRecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The archive keeps exactly the chat rows the player stores and shows.
TEST(ChatRowRule, TheServerKeepsWhatThePlayerShows) {
    for (int kind = 0; kind <= 11; ++kind) {
        for (std::size_t n = 0; n <= kMaxChatArgs + 2; ++n) {
            for (bool emptySender : {false, true}) {
                std::vector<std::string> args(n, "x");
                std::vector<std::u16string> texts(n, u"x");
                if (emptySender && n > 0) {
                    args[0].clear();
                    texts[0].clear();
                }
                const std::vector<std::u16string_view> views(texts.begin(), texts.end());
                const bool server = station::ChatRowFits(static_cast<std::uint8_t>(kind), args);
                const StreamChatRow row(0, static_cast<std::uint8_t>(kind), views);
                // The player's row holds at most the wire limit; the server refuses more.
                const bool player = n <= kMaxChatArgs && row.IsWellFormed();
                EXPECT_EQ(server, player) << kind << " with " << n << (emptySender ? ", empty sender" : "");
            }
        }
    }
}

} // namespace
