#pragma once
// The question shown when the update server offers a newer program: on "Yes" the network thread
// downloads and starts it. User-interface thread only.

#include <cstdint>
#include <string>

struct MyAppContext;

// "A new version of Vantri is available! (version: 0.20)" and the question, for version number
// `version` (20 is 0.20, 123 is 1.23).
std::u16string UpdateQuestionText(std::uint32_t version);

// Asks; on "Yes" queues the download to the context's network thread.
void AskForUpdate(MyAppContext* context, std::uint32_t version);
