#pragma once

// What plays, for an IRC client that asks: a DDEML server, application "Tunelark", topic
// "NowPlaying", answering requests for the items "line", "artist" and "title" as CF_TEXT in the
// ANSI code page. Everything else (pokes, commands, advise loops, other topics, items or formats)
// is refused.

#include <functional>
#include <optional>
#include <string>
#include <windows.h>

#include <ddeml.h>

namespace win32 {

class DdeServer {
public:
    // The UTF-8 text of an item, by its name in lower case; none for an item it does not know.
    // Called on the thread that made the server, from its message loop: it must answer from what
    // it already holds.
    using Answer = std::function<std::optional<std::string>(const std::string& item)>;

    // Its own DDEML instance, apart from the link's to mIRC, which lives on a thread of its own.
    // One server per process; it answers while this thread runs its messages.
    explicit DdeServer(Answer answer);
    ~DdeServer();
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

    // Whether the name is registered; the program plays on without it.
    bool serving() const { return m_registered; }

private:
    static HDDEDATA CALLBACK callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA,
                                      ULONG_PTR, ULONG_PTR);
    HDDEDATA request(UINT format, HSZ topic, HSZ item) const;

    Answer m_answer;
    DWORD m_instance = 0;
    HSZ m_service = nullptr;
    HSZ m_topic = nullptr;
    bool m_registered = false;
};

} // namespace win32
