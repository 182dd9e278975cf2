// Hands one announcement line to the running IRC client.
#pragma once
#include <QString>
#include <memory>

namespace announce {

class IrcLink {
public:
    virtual ~IrcLink() = default;
    // Makes one inserted value safe for this client's command syntax. The format blanks control
    // characters for every client; this adds what only this one needs (DDE: "|" -> "¦").
    virtual QString escapeValue(const QString& value) const { return value; }
    // Delivers one line; true when a client accepted it. Never blocks longer than about 5 s.
    virtual bool send(const QString& line) = 0;
};

std::unique_ptr<IrcLink> makeIrcLink(); // this platform's link, chosen by CMake

} // namespace announce
