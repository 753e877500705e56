#include "net/UpdatePrompt.h"

#include "app/MyAppContext.h"
#include "net/MyNetworkHandler.h"
#include "platform/MessageBox.h"
#include "platform/Utf.h"
#include "records/ProgramVersion.h"

std::u16string UpdateQuestionText(std::uint32_t version) {
    return u"A new version of Vantri is available! (version: " + Utf8ToUtf16(FormatProgramVersion(version)) +
           u")\n\rDo you want to update?";
}

void AskForUpdate(MyAppContext* context, std::uint32_t version) {
    const platform::MessageBoxResult answer = platform::ShowMessageBox(
        UpdateQuestionText(version), u"New version", platform::MessageBoxButtons::YesNo);
    if (answer == platform::MessageBoxResult::Yes && context && context->networkHandler)
        context->networkHandler->GetApplicationUpdateDownload();
}
