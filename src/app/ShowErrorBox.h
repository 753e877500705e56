#pragma once
// The one routine through which every thread reports a failure that should not happen: a box with
// caption "Error!" and an OK button whose text is the failed condition, then, when `sourcePath` holds a
// folder separator, "\r\n\r\n(file: NAME, row: LINE)". It returns once the box has been dealt with; the
// caller then drops the current piece of work and goes on.

#include <string>
#include <string_view>

std::u16string ComposeErrorBoxText(std::u16string_view condition, std::string_view sourcePath, int line);
void ShowErrorBox(std::u16string_view condition, std::string_view sourcePath, int line);

// A plain box with caption "Error!" and no file or line ("InitWinsock FAILED!", "InitAudio FAILED!").
void ShowPlainErrorBox(std::u16string_view text);

// Each source file that reports passes its own shown name as a path, so that the box names it.
#define VANTRI_SOURCE_NAME(name) ("src\\" name)
