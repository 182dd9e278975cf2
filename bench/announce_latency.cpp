// Time from the engine's Playing state to the announcement line read out of a WeeChat-style
// fifo: the window's own handler, the line built from the track, and this platform's IRC link
// writing it, with automatic announcement on. Absolute, with no baseline: prints the median of
// 21 track starts (target: under 5 ms).
// Usage: announce_latency <media file>
#include "playback/play_state.h"
#include "qt/irc_link_linux.h"
#include "qt/main_window.h"
#include "qt/mpv_engine.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

// The window's friend: its engine.
struct MainTestAccess {
    static MpvEngine& engine(Main& m) { return *m.WindowsMediaPlayer1; }
};

namespace {

// Notes when the engine reports Playing, just before the player handles it.
class PlayingClock final : public player::EngineListener {
public:
    explicit PlayingClock(MpvEngine& engine) : m_next(engine.listener()) {
        engine.setListener(this);
    }
    Clock::time_point playingAt;
    int playing = 0;

private:
    void playStateChanged(playback::PlayState state, const playback::Track& item) override {
        if (state == playback::PlayState::Playing) {
            playingAt = Clock::now();
            ++playing;
        }
        m_next->playStateChanged(state, item);
    }
    void titleChanged(const playback::Track& item) override { m_next->titleChanged(item); }
    void playlistChanged() override { m_next->playlistChanged(); }
    void volumeChanged(int volume) override { m_next->volumeChanged(volume); }
    void seeked(double position) override { m_next->seeked(position); }

    player::EngineListener* m_next;
};

constexpr int kStarts = 21;

// Reads lines from the fifo as WeeChat would, noting when each arrived.
class FifoReader {
public:
    explicit FifoReader(const QByteArray& path) {
        // Read-write, so the pipe always has a reader and open() never waits for a writer.
        fd_ = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd_ >= 0)
            thread_ = std::thread([this] { run(); });
    }
    ~FifoReader() {
        stop_ = true;
        if (fd_ >= 0) {
            const char wake = '\n';
            [[maybe_unused]] const ssize_t n = ::write(fd_, &wake, 1);
            thread_.join();
            ::close(fd_);
        }
    }
    bool isOpen() const { return fd_ >= 0; }
    int lines() const { return lines_; }
    Clock::time_point lastLineAt() const { return Clock::time_point(Clock::duration(last_)); }

private:
    void run() {
        char buffer[8192];
        while (!stop_) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            const auto now = Clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == '\n') {
                    last_ = now.time_since_epoch().count();
                    ++lines_;
                }
            }
        }
    }

    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> lines_{0};
    std::atomic<Clock::rep> last_{0};
};

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: announce_latency <media file>\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString weechat = dir.filePath(QStringLiteral("weechat"));
    QDir().mkpath(weechat);
    const QByteArray fifo = QFile::encodeName(weechat + QStringLiteral("/weechat_fifo_1"));
    if (::mkfifo(fifo.constData(), 0600) != 0)
        return 1;
    // Only this fifo: no other WeeChat, and no HexChat to fall back on.
    qputenv("WEECHAT_HOME", QFile::encodeName(weechat));
    qputenv("HOME", QFile::encodeName(dir.path()));
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");

    QFile ini(dir.filePath(QStringLiteral("mirc.ini")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write("[Tunelark]\r\nAutoStart=True\r\nAutoPrint=True\r\n") < 0)
        return 1;
    ini.close();

    QApplication app(argc, argv);
    MainOptions options;
    options.programFolder = dir.path();
    options.vo = options.ao = QStringLiteral("null");
    Main window(std::move(options));

    // The Playing state as the engine reports it, noted just before the player handles it.
    PlayingClock clock(MainTestAccess::engine(window));

    FifoReader reader(fifo);
    // A link that found no client would stop the run with its message box.
    if (!reader.isOpen() || !announce::makeIrcLink()->send("ready")) {
        std::printf("announce_latency: the fifo takes no line\n");
        return 1;
    }
    std::vector<double> ms;
    for (int start = 0; start < kStarts; ++start) {
        const int linesBefore = reader.lines();
        const int playingBefore = clock.playing;
        window.fOpenFile(QString::fromLocal8Bit(argv[1]));
        if (!waitFor([&] { return clock.playing > playingBefore && reader.lines() > linesBefore; },
                     10000)) {
            std::printf("announce_latency: no line came for start %d\n", start + 1);
            return 1;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(reader.lastLineAt() - clock.playingAt)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("announce_latency: %d track starts, Playing to the line read from the fifo\n",
                kStarts);
    std::printf("  fastest %.3f ms, median %.3f ms, slowest %.3f ms\n", ms.front(), median,
                ms.back());
    std::printf("result: announce latency %.3f ms (target < 5 ms)%s\n", median,
                median < 5 ? "" : " MISSED");
    return 0;
}
