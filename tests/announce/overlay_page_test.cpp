// The overlay page in a real browser: headless Chromium, driven over its DevTools pipe.
#include "announce/overlay_server.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

using announce::OverlayServer;
using announce::OverlayState;
using Clock = std::chrono::steady_clock;

// The browser reads commands on fd 3 and answers on fd 4, each message ending in a NUL.
class Browser {
public:
    explicit Browser(const std::string& profile) {
        int in[2], out[2];
        m_pid = pipe(in) == 0 && pipe(out) == 0 ? fork() : -1;
        if (m_pid == 0) {
            dup2(in[0], 3);
            dup2(out[1], 4);
            dup2(open("/dev/null", O_WRONLY), 2); // its complaints of a missing system bus
            const std::string dir = "--user-data-dir=" + profile;
            execlp("chromium", "chromium", "--headless=new", "--no-sandbox", "--disable-gpu",
                   "--remote-debugging-pipe", dir.c_str(), nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_to = in[1];
        m_from = out[0];
    }
    ~Browser() {
        if (m_pid > 0)
            kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        close(m_to);
        close(m_from);
    }

    // The answer to one command, or empty text when none comes by the deadline.
    std::string call(const std::string& method, const std::string& params, Clock::time_point by) {
        const std::string id = std::to_string(++m_id);
        const std::string message = "{\"id\":" + id + ",\"method\":\"" + method +
                                    "\",\"params\":" + params + m_session + "}";
        if (write(m_to, message.c_str(), message.size() + 1) != ssize_t(message.size() + 1))
            return {};
        for (;;) {
            const std::size_t at = m_read.find("{\"id\":" + id + ","); // events come between
            if (at != std::string::npos && m_read.find('\0', at) != std::string::npos)
                return m_read.substr(at, m_read.find('\0', at) - at);
            const int left = int(
                std::chrono::duration_cast<std::chrono::milliseconds>(by - Clock::now()).count());
            pollfd wait{m_from, POLLIN, 0};
            char chunk[65536];
            const ssize_t n =
                left > 0 && poll(&wait, 1, left) == 1 ? read(m_from, chunk, sizeof chunk) : 0;
            if (n <= 0)
                return {};
            m_read.append(chunk, std::size_t(n));
        }
    }

    // Opens url in a new page; then each command goes to it.
    bool show(const std::string& url, Clock::time_point by) {
        const std::string target =
            value(call("Target.createTarget", "{\"url\":\"" + url + "\"}", by), "targetId");
        const std::string session = value(
            call("Target.attachToTarget", "{\"targetId\":\"" + target + "\",\"flatten\":true}", by),
            "sessionId");
        m_session = ",\"sessionId\":\"" + session + "\"";
        return !session.empty();
    }

    bool becomes(const std::string& expression, std::chrono::milliseconds limit) {
        const auto by = Clock::now() + limit;
        while (Clock::now() < by) {
            if (call("Runtime.evaluate", "{\"expression\":\"" + expression + "\"}", by)
                    .find("\"value\":true") != std::string::npos)
                return true;
        }
        return false;
    }

private:
    static std::string value(const std::string& answer, const std::string& key) {
        const std::size_t at = answer.find("\"" + key + "\":\"");
        const std::size_t from = at == std::string::npos ? answer.size() : at + key.size() + 4;
        return answer.substr(from, answer.find('"', from) - from);
    }

    pid_t m_pid = -1;
    int m_to = -1, m_from = -1, m_id = 0;
    std::string m_read, m_session;
};

TEST(OverlayPage, ShowsTheNextTrackWithinASecondWithoutReloading) {
    OverlayServer server;
    int port = 20000 + std::rand() % 20000;
    while (server.start(port) != OverlayServer::Start::Listening)
        ASSERT_LT(++port, 65536);
    auto playing = [](std::string title) {
        return OverlayState{.play = OverlayState::Play::Playing, .title = title, .duration = 200};
    };
    server.publish(playing("Первая"));
    testsupport::TempDir profile;
    Browser browser(text::utf8Of(profile.path()));
    ASSERT_TRUE(browser.show("http://127.0.0.1:" + std::to_string(port) + "/",
                             Clock::now() + std::chrono::seconds(30)));
    const std::string title = "document.getElementById('title').textContent";
    // A mark on the window: a reload would lose it.
    ASSERT_TRUE(
        browser.becomes(title + " === 'Первая' && (window.kept = true)", std::chrono::seconds(30)));
    server.publish(playing("Вторая"));
    EXPECT_TRUE(browser.becomes(title + " === 'Вторая' && window.kept", std::chrono::seconds(1)));
    server.publish({});
    EXPECT_TRUE(browser.becomes("document.getElementById('card').classList.contains('hidden')",
                                std::chrono::seconds(1)));
    // The page's stream open, the end closes it rather than waiting on it.
    const auto start = Clock::now();
    server.stop();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

} // namespace
