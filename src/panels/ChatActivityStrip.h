#pragma once
// Where the talk was: a thin strip along the position bar's lower edge, each pixel shaded by how many chat
// messages (messages and actions) fall in its span of the show, so that the liveliest moments stand out
// and can be clicked straight away. The position bar draws it into its cached picture only when it is
// switched on; off, the bar is exactly the plain one.

#include "records/CatalogueRecords.h"
#include "ui/MySurface.h"

#include <cstdint>
#include <vector>

// Rows of the position bar's picture that the strip covers: just below the groove.
constexpr std::int32_t kActivityStripTop = 23;   // pixels from the bar's top
constexpr std::int32_t kActivityStripHeight = 3; // pixels
constexpr COLORREF kActivityColour = 0x000080FF; // orange, at the busiest pixel
constexpr unsigned kActivityLeastAlpha = 64;     // of 255, for a pixel with one message

// The number of messages in each of `pixels` equal spans of a show of `duration` seconds. Rows before 0
// count in the first span, rows at or past the end in the last.
std::vector<std::uint32_t> CountChatMessages(const StreamChatRowList& rows, std::uint32_t duration,
                                             std::int32_t pixels);

// Shades the strip into `bar`, span t at bar x `firstX` + t. Pixels of spans without messages are left
// as they are; the others are blended towards kActivityColour, the more messages the stronger.
void DrawChatActivityStrip(MySurface& bar, const std::vector<std::uint32_t>& counts, std::int32_t firstX);
