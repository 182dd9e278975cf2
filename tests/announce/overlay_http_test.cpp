// The overlay server as a real HTTP client (curl) reaches it.
#include "announce/overlay_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

using announce::OverlayServer;
using announce::OverlayState;
using Clock = std::chrono::steady_clock;
using Pipe = std::unique_ptr<FILE, int (*)(FILE*)>;

const std::string kPng = "\x89PNG\r\n\x1A\nrest";

class OverlayHttp : public testing::Test {
protected:
    void SetUp() override {
        while (server.start(port) != OverlayServer::Start::Listening)
            ASSERT_LT(++port, 65536);
        server.publish({.play = OverlayState::Play::Playing,
                        .title = "Title",
                        .json = "{}\n{\"title\": \"Title\"}\n",
                        .cover = std::make_shared<const std::string>(kPng),
                        .coverType = "image/png"});
    }
    // The body, then the status and the Content-Type on a line of their own.
    std::string curl(const std::string& path, const std::string& options = {}) {
        const std::string command = "curl -s --max-time 5 -w '\\n%{http_code} %{content_type}' " +
                                    options + " 'http://" + at() + path + "'";
        Pipe pipe(popen(command.c_str(), "r"), pclose);
        std::string out;
        char chunk[4096];
        for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;)
            out.append(chunk, n);
        return out;
    }

    std::string at() const { return "127.0.0.1:" + std::to_string(port); }

    OverlayServer server;
    int port = 20000 + std::rand() % 20000;
};

TEST_F(OverlayHttp, EachPathAnswersAndAnyOtherIsRefused) {
    const std::string p = std::to_string(port);
    const std::string json = "\n200 application/json; charset=utf-8";
    const struct {
        std::string path, options, ending;
    } cases[] = {
        {"/now.json", "", "{}\n{\"title\": \"Title\"}\n" + json},
        {"/cover?n=1", "", kPng + "\n200 image/png"},
        {"/", "", "</html>\n\n200 text/html; charset=utf-8"},
        {"/missing", "", "\n404 "},
        {"/now.json", "-X POST", "\n405 "},
        {"/now.json", "-H 'Host: rebound.example:" + p + "'", "\n403 "},
    };
    for (const auto& c : cases) {
        const std::string out = curl(c.path, c.options);
        EXPECT_TRUE(out.ends_with(c.ending)) << c.path << " " << c.options << ": " << out;
    }
    server.publish({});
    EXPECT_TRUE(curl("/cover").ends_with("\n404 "));
    EXPECT_TRUE(curl("/now.json").ends_with("{}\n" + json));
}

TEST_F(OverlayHttp, AClientThatNeverEndsItsRequestIsDroppedAndHoldsNoOne) {
    const auto start = Clock::now();
    // A raw connection that sends half a request, then waits for the server to close it.
    const std::string half = "timeout 10 bash -c 'exec 3<>/dev/tcp/127.0.0.1/" +
                             std::to_string(port) +
                             "; printf \"GET / HTTP/1.1\\r\\nHost: 1\" >&3; cat <&3'";
    Pipe slow(popen(half.c_str(), "r"), pclose);
    EXPECT_TRUE(curl("/now.json").ends_with("200 application/json; charset=utf-8"));
    char byte;
    EXPECT_EQ(fread(&byte, 1, 1, slow.get()), 0u); // closed without an answer
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));
}

} // namespace
