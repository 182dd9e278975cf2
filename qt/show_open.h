#pragma once

#include <QString>

// The open-file dialog of the Linux program; the settings file's functions keep their own module.
namespace dialogs {

// Shows the open-file dialog with a "name|pattern" filter, starting in folder. The dialog has no
// owner, so the main window stays usable while it is open. Returns the chosen path, or empty
// text when the user cancels.
QString ShowOpen(const QString& filter, const QString& title, const QString& folder);

// Turns "name|pattern|name|pattern" filter text into the file dialog's own form ("name (pattern)"
// entries separated by ";;"). "*.*" also matches names without a dot.
QString dialogFilter(const QString& filter);

// Cancels the open-file dialog if one is up, so that ShowOpen returns empty text.
void CloseOpen();

} // namespace dialogs
