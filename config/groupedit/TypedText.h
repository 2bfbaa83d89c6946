// Text typed into a dialog that its settings file could not keep: a line break ends the settings
// line, a "," splits a field line or a module line, a "." splits a folder or file tag from its
// part. Such text is refused where it is typed, with a message naming the input.
#pragma once
#include <QString>
#include <optional>

enum class TextFault { LineBreak, Comma, Dot };

// The first fault of the text: a line break always; a "," or a "." where they are not allowed.
std::optional<TextFault> FindTextFault(const QString& text, bool noComma, bool noDot);
// The error box for the input named `what` (in the current language), showing its text.
void ShowTextFault(const QString& what, const QString& text, TextFault fault);
