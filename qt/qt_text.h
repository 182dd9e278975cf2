#pragma once

// The core keeps text as UTF-8; the Qt program converts at its edges with these.

#include <QString>

#include <string>

inline QString qtText(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

inline std::string coreText(const QString& text) {
    return text.toStdString();
}
