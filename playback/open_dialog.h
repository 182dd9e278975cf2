#pragma once

#include <QString>

namespace mOpenSave {

// Turns "name|pattern|name|pattern" filter text into the file dialog's own form
// ("name (pattern)" entries separated by ";;"). "*.*" also matches names without a dot.
QString dialogFilter(const QString& filter);

} // namespace mOpenSave
