#include "win32/mirc_link.h"

#include "settings/code_page.h"

#include <climits>
#include <optional>
#include <windows.h>

namespace announce {
namespace {

// How long the window waits beyond the poke's own time-out, for the connect and the thread.
constexpr DWORD kWaitMarginMs = 1500;

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (h)
            CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

} // namespace

// The thread that owns the DDE conversation, one poke at a time. It outlives the link when a poke
// is still out at the end, and the process ending ends it.
struct MircLink::Worker {
    Handle job{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    Handle done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    Handle thread{nullptr};
    CRITICAL_SECTION lock;
    std::optional<std::string> text; // the poke asked for
    DdePokeResult result = DdePokeResult::Failed;
    bool busy = false;
    bool quit = false;
    bool leftHung = false; // a conversation with a client that hung is still open

    Worker() { InitializeCriticalSection(&lock); }
    ~Worker() { DeleteCriticalSection(&lock); }

    static DWORD WINAPI run(void* self) {
        // The thread's own reference: it may outlive the link.
        const auto worker = std::move(*static_cast<std::shared_ptr<Worker>*>(self));
        delete static_cast<std::shared_ptr<Worker>*>(self);
        worker->serve();
        return 0;
    }

    void serve() {
        DdeClient client;
        for (;;) {
            // Between pokes the conversation's own messages (a client that closes) are handled.
            if (MsgWaitForMultipleObjects(1, &job.h, FALSE, INFINITE, QS_ALLINPUT) !=
                WAIT_OBJECT_0) {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageW(&message);
                continue;
            }
            EnterCriticalSection(&lock);
            const bool stop = quit;
            std::optional<std::string> line = std::move(text);
            text.reset();
            LeaveCriticalSection(&lock);
            if (stop)
                return; // the client closes its conversation as it goes
            if (!line)
                continue;
            const DdePokeResult poked = client.poke(*line);
            EnterCriticalSection(&lock);
            result = poked;
            leftHung = leftHung || poked == DdePokeResult::TimedOut;
            busy = false;
            LeaveCriticalSection(&lock);
            SetEvent(done.h);
        }
    }
};

MircLink::MircLink(Dispatch dispatch) : m_dispatch(std::move(dispatch)) {}

MircLink::~MircLink() {
    if (!m_worker || !m_worker->thread.h)
        return;
    EnterCriticalSection(&m_worker->lock);
    // A thread that ends closes its conversations, and one with a client that hung waits for
    // its answer (10 s in Wine): such a thread is left to the end of the process.
    const bool leave = m_worker->busy || m_worker->leftHung;
    m_worker->quit = !leave;
    LeaveCriticalSection(&m_worker->lock);
    if (leave)
        return;
    // An idle thread closes its conversation at once.
    SetEvent(m_worker->job.h);
    WaitForSingleObject(m_worker->thread.h, 2000);
}

std::string MircLink::escapeValue(const std::string& value) const {
    return escapeCommandSeparator(value);
}

bool MircLink::send(const std::string& line) {
    const auto ended = [this](DdePokeResult result) {
        m_last = result;
        return result == DdePokeResult::Delivered;
    };
    // No announcement comes near this; a longer line is refused rather than cut.
    if (line.size() > INT_MAX / 4)
        return ended(DdePokeResult::Failed);
    if (!m_worker) {
        auto worker = std::make_shared<Worker>();
        auto* reference = new std::shared_ptr<Worker>(worker);
        worker->thread.h = CreateThread(nullptr, 0, Worker::run, reference, 0, nullptr);
        if (!worker->thread.h) {
            delete reference;
            return ended(DdePokeResult::Failed);
        }
        m_worker = std::move(worker);
    }
    Worker& worker = *m_worker;
    EnterCriticalSection(&worker.lock);
    // A poke given up on may still be out: its client is not answering now either.
    const bool free = !worker.busy;
    if (free) {
        worker.busy = true;
        worker.text = text::toAnsi(line);
        ResetEvent(worker.done.h);
    }
    LeaveCriticalSection(&worker.lock);
    if (!free)
        return ended(DdePokeResult::TimedOut);
    SetEvent(worker.job.h);

    const ULONGLONG deadline = GetTickCount64() + DdeClient::defaultTimeoutMs + kWaitMarginMs;
    bool answered = false;
    while (!answered) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return ended(DdePokeResult::TimedOut);
        answered = MsgWaitForMultipleObjectsEx(1, &worker.done.h, DWORD(deadline - now),
                                               QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
        MSG message;
        while (!answered && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(int(message.wParam)); // for the thread's own loop
                return ended(DdePokeResult::Ended);
            }
            if (m_dispatch) {
                m_dispatch(message);
            } else {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            answered = WaitForSingleObject(worker.done.h, 0) == WAIT_OBJECT_0;
        }
    }
    EnterCriticalSection(&worker.lock);
    const DdePokeResult result = worker.result;
    LeaveCriticalSection(&worker.lock);
    return ended(result);
}

} // namespace announce
