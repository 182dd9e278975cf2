#include "announce/overlay_server.h"

#include "announce/overlay_listen.h"
#include "announce/song_file.h"
#include "text/text.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

namespace announce {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

// A client gets this long to send its request, and each answer this long to go out: a slow or
// stuck one is dropped rather than held. An idle event stream has no timer at all, so it wakes
// nothing.
constexpr auto kRequestTime = std::chrono::seconds(5);
constexpr auto kWriteTime = std::chrono::seconds(10);
constexpr std::size_t kMaxConnections = 32;
constexpr std::size_t kMaxStreams = 8;
constexpr std::size_t kHeaderLimit = 8 * 1024;
constexpr std::size_t kBodyLimit = 8 * 1024;

const char* playName(OverlayState::Play play) {
    switch (play) {
    case OverlayState::Play::Playing:
        return "playing";
    case OverlayState::Play::Paused:
        return "paused";
    case OverlayState::Play::Stopped:
        break;
    }
    return "stopped";
}

} // namespace

std::string overlayEventJson(const OverlayState& state, unsigned coverNumber) {
    return "{\"state\":\"" + std::string(playName(state.play)) +
           "\",\"artist\":" + jsonString(state.artist) + ",\"title\":" + jsonString(state.title) +
           ",\"duration\":" + secondsOf(state.duration) +
           ",\"position\":" + secondsOf(state.position) +
           ",\"cover\":" + std::to_string(coverNumber) + "}";
}

class Connection;

// Everything the server's thread owns.
struct OverlayCore {
    // Declared before the io_context: its handlers, destroyed with it, still count down here.
    OverlayState state;
    unsigned coverCount = 0;
    unsigned coverNumber = 0;
    std::chrono::steady_clock::time_point since; // when state was published
    std::set<std::shared_ptr<Connection>> streams;
    std::set<Connection*> connections; // each open one, so the end can close it
    std::string hosts[2];

    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer retry{io};
    std::thread thread;
    std::atomic<bool> running = false;

    void accept();
    void apply(OverlayState next);
    std::string eventNow() const;
};

class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, OverlayCore& server)
        : m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_server(server) {
        m_server.connections.insert(this);
        m_parser.header_limit(kHeaderLimit);
        m_parser.body_limit(kBodyLimit);
    }
    ~Connection() { m_server.connections.erase(this); }

    void start() {
        arm(kRequestTime);
        http::async_read(m_socket, m_buffer, m_parser,
                         [self = shared_from_this()](error_code error, std::size_t) {
                             self->m_timer.cancel();
                             if (!error)
                                 self->answer(self->m_parser.get());
                         });
    }

    // The next event for a stream; one not yet out is replaced, as only the latest matters.
    void push(const std::string& data) {
        m_pending = "data: " + data + "\n\n";
        if (!m_writing)
            flush();
    }

    // The server's end: the client sees the connection close.
    void end() {
        error_code ignored;
        m_socket.close(ignored);
    }

private:
    using Request = http::request<http::string_body>;
    using Response = http::response<http::string_body>;

    void answer(const Request& request);
    void send(http::status status, std::string type = {}, std::string body = {});
    void startStream();
    void watchClose();
    void flush();

    // The socket closes when time runs out; its pending work ends with an error.
    void arm(std::chrono::seconds limit) {
        m_timer.expires_after(limit);
        m_timer.async_wait([self = shared_from_this()](error_code error) {
            if (!error)
                self->close();
        });
    }

    void close() {
        error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
        m_server.streams.erase(shared_from_this());
    }

    tcp::socket m_socket;
    asio::steady_timer m_timer;
    OverlayCore& m_server;
    boost::beast::flat_buffer m_buffer;
    http::request_parser<http::string_body> m_parser;
    std::string m_pending;
    std::string m_out;
    char m_discard[256];
    bool m_writing = false;
};

void Connection::answer(const Request& request) {
    const std::string host = text::lowerAscii(std::string(request[http::field::host]));
    // A page elsewhere that renamed its host to this machine still sends its own name.
    if (host != m_server.hosts[0] && host != m_server.hosts[1])
        return send(http::status::forbidden);
    if (request.method() != http::verb::get)
        return send(http::status::method_not_allowed);
    const auto asked = request.target();
    const std::string_view target(asked.data(), asked.size());
    const std::string_view path = target.substr(0, target.find('?'));
    const OverlayState& state = m_server.state;
    if (path == "/")
        return send(http::status::ok, "text/html; charset=utf-8", kOverlayPage);
    if (path == "/now.json")
        return send(http::status::ok, "application/json; charset=utf-8",
                    state.json.empty() ? "{}\n" : state.json);
    if (path == "/cover" && state.cover)
        return send(http::status::ok, state.coverType, *state.cover);
    if (path == "/events")
        return m_server.streams.size() < kMaxStreams ? startStream()
                                                     : send(http::status::service_unavailable);
    send(http::status::not_found);
}

void Connection::send(http::status status, std::string type, std::string body) {
    auto response = std::make_shared<Response>(status, 11, std::move(body));
    if (status == http::status::method_not_allowed)
        response->set(http::field::allow, "GET");
    if (!type.empty())
        response->set(http::field::content_type, type);
    response->set(http::field::cache_control, "no-store");
    response->keep_alive(false);
    response->prepare_payload();
    arm(kWriteTime);
    http::async_write(m_socket, *response,
                      [self = shared_from_this(), response](error_code, std::size_t) {
                          self->m_timer.cancel();
                          self->close();
                      });
}

void Connection::startStream() {
    Response head(http::status::ok, 11);
    head.set(http::field::content_type, "text/event-stream; charset=utf-8");
    head.set(http::field::cache_control, "no-store");
    head.keep_alive(false);
    // The header goes out as the first event's prefix: the stream has no length.
    std::ostringstream header;
    header << head.base();
    m_pending = header.str() + "data: " + m_server.eventNow() + "\n\n";
    m_server.streams.insert(shared_from_this());
    flush();
    watchClose();
}

// A stream's client says nothing more; a read ends only when it goes away.
void Connection::watchClose() {
    m_socket.async_read_some(asio::buffer(m_discard),
                             [self = shared_from_this()](error_code error, std::size_t) {
                                 if (error)
                                     return self->close();
                                 self->watchClose();
                             });
}

void Connection::flush() {
    m_writing = true;
    m_out = std::exchange(m_pending, {});
    arm(kWriteTime);
    asio::async_write(m_socket, asio::buffer(m_out),
                      [self = shared_from_this()](error_code error, std::size_t) {
                          self->m_timer.cancel();
                          self->m_writing = false;
                          if (error)
                              return self->close();
                          if (!self->m_pending.empty())
                              self->flush();
                      });
}

void OverlayCore::accept() {
    acceptor.async_accept([this](error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted)
            return;
        if (error) {
            // Out of descriptors, say: try again a little later rather than spin.
            retry.expires_after(std::chrono::milliseconds(200));
            retry.async_wait([this](error_code e) {
                if (!e)
                    accept();
            });
            return;
        }
        if (connections.size() < kMaxConnections)
            std::make_shared<Connection>(std::move(socket), *this)->start();
        accept(); // one over the bound is closed as its socket goes
    });
}

void OverlayCore::apply(OverlayState next) {
    // The page asks for the cover again only when its number moves.
    if (next.cover && next.cover != state.cover)
        ++coverCount;
    coverNumber = next.cover ? coverCount : 0;
    state = std::move(next);
    since = std::chrono::steady_clock::now();
    const std::string event = overlayEventJson(state, coverNumber);
    // A copy: a failed write takes its stream out of the set.
    for (const auto& stream : std::set(streams))
        stream->push(event);
}

// A page that opens mid-track starts its bar where play is now, not where it was published.
std::string OverlayCore::eventNow() const {
    OverlayState now = state;
    if (now.play == OverlayState::Play::Playing) {
        now.position +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
        if (now.duration)
            now.position = std::min(now.position, *now.duration);
    }
    return overlayEventJson(now, coverNumber);
}

struct OverlayServer::Impl : OverlayCore {};

OverlayServer::OverlayServer() : m_impl(std::make_unique<Impl>()) {}

OverlayServer::~OverlayServer() {
    stop();
}

OverlayServer::Start OverlayServer::start(int port) {
    Impl& impl = *m_impl;
    const tcp::endpoint at(asio::ip::address_v4::loopback(), static_cast<unsigned short>(port));
    error_code error;
    impl.acceptor.open(at.protocol(), error);
    if (error)
        return Start::Failed;
    prepareListener(impl.acceptor.native_handle());
    impl.acceptor.bind(at, error);
    if (!error)
        impl.acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        error_code ignored;
        impl.acceptor.close(ignored);
        return error == asio::error::address_in_use || error == asio::error::access_denied
                   ? Start::PortTaken
                   : Start::Failed;
    }
    impl.hosts[0] = "127.0.0.1:" + std::to_string(port);
    impl.hosts[1] = "localhost:" + std::to_string(port);
    impl.accept();
    impl.running = true;
    impl.thread = std::thread([&impl] { impl.io.run(); });
    return Start::Listening;
}

void OverlayServer::publish(OverlayState state) {
    if (!m_impl->running)
        return;
    asio::post(m_impl->io, [impl = m_impl.get(), state = std::move(state)]() mutable {
        impl->apply(std::move(state));
    });
}

void OverlayServer::stop() {
    Impl& impl = *m_impl;
    if (!impl.running.exchange(false))
        return;
    impl.io.stop();
    impl.thread.join();
    // Their clients see the end now; the objects go with the io_context's handlers.
    for (Connection* connection : impl.connections)
        connection->end();
    impl.streams.clear();
    error_code ignored;
    impl.acceptor.close(ignored);
}

} // namespace announce
