#pragma once
// Which join, part and quit rows of a chat are noise: those of people who say nothing (no message, no
// action) within a window of time after they join, or before they leave. A person is followed through
// their nick changes, so a join as "anna" followed by talk as "anna_away" counts as talk. Nicks compare
// without regard to ASCII case.

#include "records/CatalogueRecords.h"

#include <cstdint>
#include <vector>

constexpr std::int32_t kQuietJoinWindow = 600; // seconds

// One flag per row of `rows`: true for a join, part or quit row to leave out of the view.
std::vector<bool> FindQuietJoinsAndParts(const StreamChatRowList& rows,
                                         std::int32_t window = kQuietJoinWindow);
