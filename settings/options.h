#pragma once

// Small rules the start-up and shutdown code applies to stored options.

#include <QString>
#include <optional>

namespace settings {

// "True" or "False" in any letter case, or a decimal number where zero is false and any
// other number true ("1.5", "-0", "1e3", "0,0"). Surrounding spaces and tabs are ignored.
// Anything else, including empty text and "yes", gives nullopt.
std::optional<bool> parseBoolean(const QString& text);

// How a Boolean option is stored: "True" or "False".
QString booleanText(bool value);

// `folder` ending in a separator: the platform's own is appended unless it already ends in
// "\" or "/", so a root folder is not doubled. Empty text stays empty.
QString folderWithSeparator(const QString& folder);

} // namespace settings
