#include "app/StartChecks.h"

// The desktop integration fills these in: the link-scheme check (with its Yes/No question) and the update
// question with the download it starts.
void CheckLinkSchemeAtStart(MyAppContext* context) {
    (void)context;
}

void AskForApplicationUpdate(MyAppContext* context, std::uint32_t version) {
    (void)context, (void)version;
}
