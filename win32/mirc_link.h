#pragma once

// The link to mIRC on Windows: each line poked over DDE to application "mIRC", topic "Command",
// which runs it as a typed command line. Plain C++ over Win32.

#include "announce/irc_link.h"

#include <memory>

namespace announce {

class DdeClient;

class MircLink final : public IrcLink {
public:
    MircLink();
    ~MircLink() override;

    // "|" separates commands in a typed line, so a title holding it could run a second one.
    std::string escapeValue(const std::string& value) const override;
    // The line goes out in the system's ANSI code page with its NUL. A character the code page
    // lacks becomes the code page's default character, never a look-alike, and the rest of the
    // line is kept. Use it on the thread that made it: its conversation belongs to that thread.
    bool send(const std::string& line) override;

private:
    std::unique_ptr<DdeClient> m_client;
};

} // namespace announce
