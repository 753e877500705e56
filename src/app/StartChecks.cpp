#include "app/StartChecks.h"

#include "app/LinkScheme.h"
#include "app/MyAppContext.h"
#include "app/MySettings.h"

void CheckLinkSchemeAtStart(MyAppContext* context) {
    if (context && context->settings)
        CheckLinkScheme(*context->settings);
}
