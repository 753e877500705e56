#include "app/ShowErrorBox.h"

#include "platform/MessageBox.h"

std::u16string ComposeErrorBoxText(std::u16string_view condition, std::string_view sourcePath, int line) {
    std::u16string text(condition);
    std::size_t separator = sourcePath.find_last_of("\\/");
    if (separator != std::string_view::npos) {
        text += u"\r\n\r\n(file: ";
        for (char c : sourcePath.substr(separator + 1))
            text.push_back(static_cast<unsigned char>(c));
        text += u", row: ";
        for (char c : std::to_string(line))
            text.push_back(static_cast<char16_t>(c));
        text += u")";
    }
    return text;
}

void ShowErrorBox(std::u16string_view condition, std::string_view sourcePath, int line) {
    platform::ShowMessageBox(ComposeErrorBoxText(condition, sourcePath, line), u"Error!");
}

void ShowPlainErrorBox(std::u16string_view text) { platform::ShowMessageBox(std::u16string(text), u"Error!"); }
