#pragma once

// Hands one announcement line to the running IRC client. Each program brings its own links: DDE
// to mIRC on Windows, WeeChat's fifo and HexChat's bus on Linux.

#include <string>
#include <string_view>

namespace announce {

class IrcLink {
public:
    virtual ~IrcLink() = default;
    // Makes one inserted value safe for this client's command syntax. The format blanks control
    // characters for every client; this adds what only this one needs.
    virtual std::string escapeValue(const std::string& value) const { return value; }
    // Delivers one line of UTF-8; true when a client accepted it. Never blocks longer than
    // about 5 s.
    virtual bool send(const std::string& line) = 0;
    // What the user is told when no client took the line: the clients this link looks for.
    virtual std::string missingText() const { return "mIRC не найден!"; }
};

// For a client that runs each line as a typed command line, where "|" separates commands (mIRC):
// each "|" of the value as "¦", so a title holding one cannot run a second command.
std::string escapeCommandSeparator(std::string_view value);

} // namespace announce
