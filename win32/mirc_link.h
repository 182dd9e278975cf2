#pragma once

// The link to mIRC on Windows: each line poked over DDE to application "mIRC", topic "Command",
// which runs it as a typed command line. Plain C++ over Win32.

#include "announce/irc_link.h"
#include "win32/dde_client.h"

#include <functional>
#include <memory>

struct tagMSG;

namespace announce {

class MircLink final : public IrcLink {
public:
    // Runs one of the thread's messages while a line is out; without it, messages are
    // translated and dispatched as usual.
    using Dispatch = std::function<void(const tagMSG&)>;

    explicit MircLink(Dispatch dispatch = {});
    ~MircLink() override;
    MircLink(const MircLink&) = delete;
    MircLink& operator=(const MircLink&) = delete;

    // "|" separates commands in a typed line, so a title holding it could run a second one.
    std::string escapeValue(const std::string& value) const override;
    // The line goes out in the system's ANSI code page with its NUL. A character the code page
    // lacks becomes the code page's default character, never a look-alike, and the rest of the
    // line is kept. The poke runs on a thread of the link's own, so a client that hangs cannot
    // hold this one: its messages go on through dispatch meanwhile, for at most the poke's
    // time-out. A WM_QUIT among them gives the line up at once and is left for the thread's own
    // loop.
    bool send(const std::string& line) override;

    // How the last send ended; Ended when WM_QUIT came first, TimedOut when no answer came in
    // time.
    DdePokeResult lastResult() const { return m_last; }

private:
    struct Worker;
    Dispatch m_dispatch;
    std::shared_ptr<Worker> m_worker;
    DdePokeResult m_last = DdePokeResult::Failed;
};

} // namespace announce
