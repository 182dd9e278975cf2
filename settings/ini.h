#pragma once

// The program's options, kept as one section of a profile file shared with other programs.

#include <QString>

namespace mOpenSave {

// The value of `key` in `section` of `file`, or `defaultValue` (without its trailing spaces)
// when the file or key is missing. At most 254 characters come back, never half of one.
QString ReadINI(const QString& file, const QString& section, const QString& key,
                const QString& defaultValue);

// Stores `value` under `key` in `section` of `file`, creating the file, section or key as
// needed and leaving every other line as it was. Each CR and then each LF of `value` is first
// replaced by a blank, in the caller's text too. Failures are silent.
void WriteINI(const QString& file, const QString& section, const QString& key, QString& value);

} // namespace mOpenSave
