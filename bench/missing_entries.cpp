// Opening an m3u whose first entries are all missing, through the window: how long the engine
// takes to reach the one real entry behind them, and how long the window's event loop is kept
// from its own work meanwhile (the longest gap between turns of a 5 ms timer). Unix only.
#include "qt/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kMissing = 5000;

// One second of silence, 8 kHz mono, 16 bit.
bool writeWav(const QString& path) {
    const quint32 samples = 8000, bytes = samples * 2;
    QByteArray wav;
    auto u32 = [&](quint32 v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](quint16 v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav += "RIFF";
    u32(36 + bytes);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    wav += "data";
    u32(bytes);
    wav += QByteArray(bytes, '\0');
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.wav"));
    const QString list = dir.filePath(QStringLiteral("missing.m3u"));
    QFile ini(dir.filePath(QStringLiteral("mirc.ini")));
    QFile m3u(list);
    if (!writeWav(real) || !ini.open(QIODevice::WriteOnly) || !m3u.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[Tunelark]\r\nAutoStart=True\r\n");
    ini.close();
    QByteArray text;
    for (int i = 0; i < kMissing; ++i)
        text += "gone/" + QByteArray::number(i) + ".mp3\n";
    text += "real.wav\n";
    m3u.write(text);
    m3u.close();

    MainOptions options;
    options.programFolder = dir.path();
    options.vo = options.ao = QStringLiteral("null");
    Main window(std::move(options));

    QElapsedTimer clock, sinceTick;
    qint64 worstGap = 0, ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worstGap = std::max(worstGap, sinceTick.restart());
        ++ticks;
    });
    window.fOpenFile(list);
    clock.start();
    sinceTick.start();
    ticker.start(5);

    bool reached = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.findChild<QLineEdit*>(QStringLiteral("Text(0)"))->text() == real) {
            reached = true;
            app.quit();
        } else if (clock.elapsed() > 120000) {
            app.quit();
        }
    });
    poll.start(1);
    app.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    const double cpu = used.ru_utime.tv_sec + used.ru_stime.tv_sec +
                       (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
    std::printf("missing_entries: %d missing entries, then a real one\n", kMissing);
    std::printf("  reached the real entry: %s after %.2f s (%.0f us per missing entry)\n",
                reached ? "yes" : "NO", seconds, seconds * 1e6 / kMissing);
    std::printf("  5 ms timer: %lld turns, longest gap %lld ms\n", ticks, worstGap);
    std::printf("  processor time of the whole run: %.2f s\n", cpu);
    std::printf("result: missing entries %.0f us each, window's longest wait %lld ms (no "
                "baseline or target)\n",
                seconds * 1e6 / kMissing, worstGap);
    std::fflush(stdout);
    return reached ? 0 : 1;
}
