#pragma once

// The program's options, kept as one section of a profile file shared with other programs.

#include <QString>

namespace mOpenSave {

// The value of `key` in `section` of `file`, or `defaultValue` (without its trailing spaces)
// when the file or key is missing. At most 254 bytes in the local 8-bit encoding come back,
// never half a character.
QString ReadINI(const QString& file, const QString& section, const QString& key,
                const QString& defaultValue);

// Stores `value` under `key` in `section` of `file`, creating the file, section or key as
// needed and leaving every other line as it was. Each CR and then each LF of `value` is first
// replaced by a blank, in the caller's text too. Failures are silent.
void WriteINI(const QString& file, const QString& section, const QString& key, QString& value);

} // namespace mOpenSave
