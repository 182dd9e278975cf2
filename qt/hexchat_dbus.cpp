#include "qt/hexchat_dbus.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFuture>
#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <cstdarg>
#include <dbus/dbus.h>
#include <memory>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace announce {
namespace {

constexpr const char* service = "org.hexchat.service";
constexpr const char* remotePath = "/org/hexchat/Remote";
constexpr const char* connectionInterface = "org.hexchat.connection";
constexpr const char* pluginInterface = "org.hexchat.plugin";
constexpr std::chrono::milliseconds budget{5000};

using Clock = std::chrono::steady_clock;

struct ConnectionCloser {
    void operator()(DBusConnection* c) const {
        dbus_connection_close(c);
        dbus_connection_unref(c);
    }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;

struct MessageUnref {
    void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

class Error {
public:
    Error() { dbus_error_init(&error_); }
    ~Error() { dbus_error_free(&error_); }
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;
    DBusError* get() { return &error_; }

private:
    DBusError error_;
};

// No autolaunch: asking libdbus for "the session bus" without an address may spawn one.
QByteArray sessionBusAddress() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return {};
    const QByteArray socket = runtime + "/bus";
    struct stat info {};
    if (::stat(socket.constData(), &info) != 0 || !S_ISSOCK(info.st_mode))
        return {};
    return "unix:path=" + socket;
}

template <typename T> bool readReply(const Message& reply, int type, T* value) {
    if (!reply)
        return false;
    Error error;
    return dbus_message_get_args(reply.get(), error.get(), type, value, DBUS_TYPE_INVALID) != 0;
}

class Session {
public:
    explicit Session(Connection connection)
        : connection_(std::move(connection)), deadline_(Clock::now() + budget) {}

    // One call with what is left of the time budget; null on an error or a timeout.
    Message call(const char* path, const char* interface, const char* method, int firstArgType,
                 ...) {
        Message request(dbus_message_new_method_call(service, path, interface, method));
        if (!request)
            return nullptr;
        // Never let the bus start HexChat just to announce a track.
        dbus_message_set_auto_start(request.get(), false);
        va_list args;
        va_start(args, firstArgType);
        const bool appended =
            dbus_message_append_args_valist(request.get(), firstArgType, args) != 0;
        va_end(args);
        if (!appended)
            return nullptr;
        return exchange(request);
    }

    // dbus_bus_register() would wait 25 s on a wedged bus; say Hello within the budget instead.
    bool hello() {
        const Message request(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                           DBUS_INTERFACE_DBUS, "Hello"));
        const char* uniqueName = nullptr;
        return request && readReply(exchange(request), DBUS_TYPE_STRING, &uniqueName) &&
               dbus_bus_set_unique_name(connection_.get(), uniqueName);
    }

    void notify(const char* path, const char* interface, const char* method) {
        Message request(dbus_message_new_method_call(service, path, interface, method));
        if (!request)
            return;
        dbus_message_set_auto_start(request.get(), false);
        dbus_message_set_no_reply(request.get(), true);
        dbus_connection_send(connection_.get(), request.get(), nullptr);
        dbus_connection_flush(connection_.get());
    }

private:
    Message exchange(const Message& request) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0)
            return nullptr;
        Error error;
        return Message(dbus_connection_send_with_reply_and_block(connection_.get(), request.get(),
                                                                 int(left.count()), error.get()));
    }

    Connection connection_;
    Clock::time_point deadline_;
};

// D-Bus strings are UTF-8 without NUL; libdbus aborts the process on anything else.
QByteArray busText(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\0', ' ');
    if (!dbus_validate_utf8(bytes.constData(), nullptr))
        return {};
    return bytes;
}

// Connect, FindContext, SetContext, Command, Disconnect on a connection of its own; runs away
// from the window's thread, so its waits hold nothing up.
bool exchange(const QByteArray& address, const QByteArray& command) {
    Error error;
    Connection connection(dbus_connection_open_private(address.constData(), error.get()));
    if (!connection)
        return false;
    dbus_connection_set_exit_on_disconnect(connection.get(), false);
    Session session(std::move(connection));
    if (!session.hello())
        return false;

    const char* filename = "tunelark";
    const char* name = "Tunelark";
    const char* description = "Now-playing announcements";
    const char* version = "1.0";
    const char* objectPath = nullptr;
    const Message connected = session.call(
        remotePath, connectionInterface, "Connect", DBUS_TYPE_STRING, &filename, DBUS_TYPE_STRING,
        &name, DBUS_TYPE_STRING, &description, DBUS_TYPE_STRING, &version, DBUS_TYPE_INVALID);
    if (!readReply(connected, DBUS_TYPE_STRING, &objectPath) ||
        !dbus_validate_path(objectPath, nullptr))
        return false;
    const QByteArray path(objectPath);

    // A new remote object starts in the tab the user has selected. FindContext("", "") names
    // that focused tab too; switching to it says so outright instead of trusting the default.
    const char* none = "";
    dbus_uint32_t context = 0;
    bool ok =
        readReply(session.call(path.constData(), pluginInterface, "FindContext", DBUS_TYPE_STRING,
                               &none, DBUS_TYPE_STRING, &none, DBUS_TYPE_INVALID),
                  DBUS_TYPE_UINT32, &context);
    if (ok) {
        const Message switched = session.call(path.constData(), pluginInterface, "SetContext",
                                              DBUS_TYPE_UINT32, &context, DBUS_TYPE_INVALID);
        // Older versions answer without a value; a "false" means the tab is gone.
        dbus_bool_t switchedOk = true;
        ok = switched && (!readReply(switched, DBUS_TYPE_BOOLEAN, &switchedOk) || switchedOk);
    }
    if (ok) {
        const char* text = command.constData();
        ok = session.call(path.constData(), pluginInterface, "Command", DBUS_TYPE_STRING, &text,
                          DBUS_TYPE_INVALID) != nullptr;
    }
    session.notify(path.constData(), connectionInterface, "Disconnect");
    return ok;
}

} // namespace

QString hexchatCommand(const QString& line) {
    if (line.startsWith(u'/'))
        return line.sliced(1);
    return u"say "_s + line;
}

bool sendToHexchat(const QString& line) {
    static const bool threadsReady = dbus_threads_init_default() != 0;
    if (!threadsReady)
        return false;
    const QByteArray address = sessionBusAddress();
    if (address.isEmpty())
        return false;
    const QByteArray command = busText(hexchatCommand(line));
    if (command.isNull())
        return false;
    if (!QCoreApplication::instance())
        return exchange(address, command); // no window to keep answering

    // One exchange at a time, in the order asked: a send made from this wait's own event loop
    // (a box, a timer, the desktop's controls) queues behind the one that is out.
    static QThreadPool* const linkThread = [] {
        auto* pool = new QThreadPool; // left to the end of the process: never waited on at exit
        pool->setMaxThreadCount(1);
        return pool;
    }();
    static int outstanding = 0;
    const int ahead = outstanding++;
    const auto promise = std::make_shared<QPromise<bool>>();
    QFuture<bool> future = promise->future();
    linkThread->start([promise, address, command] {
        promise->start();
        // Given up on by the time its turn came: no announcement long after the fact.
        if (!promise->isCanceled())
            promise->addResult(exchange(address, command));
        promise->finish();
    });

    // The window keeps painting and answering while the call is out.
    QEventLoop loop;
    QFutureWatcher<bool> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(budget * (ahead + 1) + std::chrono::seconds(1));
    if (!future.isFinished())
        loop.exec();
    // The program quitting ends every event loop, this one too: the answer still comes within
    // the same limit, so that no box claims the client is missing when it is not.
    if (!future.isFinished() && limit.isActive())
        linkThread->waitForDone(limit.remainingTime());
    --outstanding;
    if (!future.isFinished()) {
        future.cancel();
        return false;
    }
    return future.resultCount() > 0 && future.result();
}

} // namespace announce
