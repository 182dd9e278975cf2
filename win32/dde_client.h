#pragma once

#include <memory>
#include <string>

namespace announce {

// How one poke ended: the first step that failed, or Delivered.
enum class DdePokeResult {
    Delivered, // the server acknowledged the poke
    NoServer,  // no server answered to application "mIRC", topic "Command"
    TimedOut,  // the server did not answer within the time-out
    Rejected,  // the server refused the poke
    Ended,     // the program is ending: the line was given up
    Failed,    // anything else: DDEML did not start, wrong thread, text too long
};

// A DDEML client that pokes one text line at a time to "mIRC" on topic "Command".
// It owns its DDEML instance, which belongs to the thread that made the object: create,
// use and destroy it on one thread. A poke never waits longer than its time-out plus the
// brief connect.
class DdeClient {
public:
    static constexpr unsigned defaultTimeoutMs = 5000;

    DdeClient();
    ~DdeClient();
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    // Closes the previous conversation, opens a new one and pokes ansiText with its NUL as
    // CF_TEXT. A delivered line leaves the conversation open until the next call or destruction.
    DdePokeResult poke(const std::string& ansiText, unsigned timeoutMs = defaultTimeoutMs);

    // The DDEML error code (DMLERR_*) of the last failing step; 0 after a delivered poke.
    unsigned lastError() const { return lastError_; }

private:
    struct Handles;

    static std::unique_ptr<Handles> start();
    void closeConversation();
    DdePokeResult fail(unsigned error);

    std::unique_ptr<Handles> handles_; // null if DDEML did not start, and after a hung server
    unsigned long threadId_;
    unsigned lastError_ = 0;
};

} // namespace announce
