#include "qt/weechat_fifo.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace announce {
namespace {

constexpr qsizetype maxWrite = 4096; // PIPE_BUF on Linux: a write up to this size is atomic

QString environment(const char* name) {
    return qEnvironmentVariable(name);
}

QString expandHome(const QString& path, const QString& home) {
    if (path == u"~")
        return home;
    if (path.startsWith(u"~/") && !home.isEmpty())
        return home + path.sliced(1);
    return path;
}

bool isFifo(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// A reader that went away between open() and write() must not kill the player with SIGPIPE.
ssize_t writeWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeOnly;
    sigset_t previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    sigset_t pending;
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;

    ssize_t written;
    do {
        written = ::write(fd, data, size);
    } while (written < 0 && errno == EINTR);
    const int error = errno;

    if (written < 0 && error == EPIPE && !alreadyPending) {
        const timespec noWait{};
        sigtimedwait(&pipeOnly, nullptr, &noWait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

bool writeToFifo(const QString& path, const QByteArray& command) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false; // ENXIO: no WeeChat reads this pipe any more
    struct stat info {};
    bool accepted = false;
    if (::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) {
        // EAGAIN means a full pipe: a hung WeeChat, passed over rather than waited for.
        accepted = writeWithoutSigpipe(fd, command.constData(), size_t(command.size())) ==
                   ssize_t(command.size());
    }
    ::close(fd);
    return accepted;
}

} // namespace

WeechatPlaces WeechatPlaces::fromEnvironment() {
    return {environment("WEECHAT_HOME"), environment("HOME"), environment("XDG_RUNTIME_DIR"),
            environment("XDG_CACHE_HOME")};
}

QStringList weechatFifoDirs(const WeechatPlaces& places) {
    QStringList dirs;
    const auto add = [&dirs](const QString& dir) {
        if (!dir.isEmpty() && !dirs.contains(dir))
            dirs.append(dir);
    };
    // A list of folders is config:data:cache:runtime (WeeChat 4 adds state); the fifo is in the
    // runtime folder, so search from the end.
    const QStringList homeParts = places.weechatHome.split(u':', Qt::SkipEmptyParts);
    for (auto part = homeParts.crbegin(); part != homeParts.crend(); ++part)
        add(expandHome(*part, places.home));
    if (!places.home.isEmpty())
        add(places.home + u"/.weechat"_s);
    if (!places.xdgRuntimeDir.isEmpty())
        add(places.xdgRuntimeDir + u"/weechat"_s);
    if (!places.xdgCacheHome.isEmpty())
        add(places.xdgCacheHome + u"/weechat"_s);
    if (!places.home.isEmpty())
        add(places.home + u"/.cache/weechat"_s);
    return dirs;
}

QStringList weechatFifoCandidates(const WeechatPlaces& places) {
    QStringList fifos;
    for (const QString& dir : weechatFifoDirs(places)) {
        const QStringList names = QDir(dir).entryList(
            {u"weechat_fifo_*"_s}, QDir::System | QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString& name : names) {
            const QString path = dir + u'/' + name;
            if (isFifo(path))
                fifos.append(path);
        }
    }
    return fifos;
}

QByteArray weechatFifoCommand(const QString& line) {
    QByteArray text = line.toUtf8();
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    const qsizetype room = maxWrite - 2; // the leading '*' and the final '\n'
    if (text.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut; // never split a UTF-8 sequence
        text.truncate(cut);
    }
    return '*' + text + '\n';
}

QString sendToWeechatFifo(const QString& line, const WeechatPlaces& places) {
    const QByteArray command = weechatFifoCommand(line);
    for (const QString& fifo : weechatFifoCandidates(places)) {
        if (writeToFifo(fifo, command))
            return fifo;
    }
    return {};
}

} // namespace announce
