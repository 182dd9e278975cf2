// The real window on the X display: the engine draws video and its on-screen controls into
// the player area.
#include "main_access.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QWindow>

using testsupport::waitUntil;
using A = MainTestAccess;

namespace {

QImage grab(QWidget* w) {
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), w->width(), w->height())
        .toImage();
}

int colours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

// Share of sampled pixels that differ between two grabs of the same area.
double changed(const QImage& a, const QImage& b) {
    int differ = 0, total = 0;
    for (int y = 0; y < a.height(); y += 2)
        for (int x = 0; x < a.width(); x += 2, ++total)
            differ += a.pixel(x, y) != b.pixel(x, y);
    return total ? double(differ) / total : 0;
}

} // namespace

TEST(RealWindow, ShowsVideoAndTheOnScreenControls) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "needs an X display";
    QTemporaryDir folder;
    MainOptions options;
    options.programFolder = folder.path();
    options.vo = QStringLiteral("x11");
    options.ao = QStringLiteral("null");
    options.link = std::make_unique<testsupport::RecordingLink>(
        std::make_shared<testsupport::RecordingLink::Log>());
    Main m(std::move(options));
    m.show();
    ASSERT_TRUE(waitUntil([&] { return m.windowHandle() && m.windowHandle()->isExposed(); }));
    QWidget* area = A::playerArea(m);
    const int blank = colours(grab(area));

    int playing = 0;
    QObject::connect(&A::player(m), &playback::MediaPlayer::PlayStateChange,
                     [&](int s) { playing += s == playback::psPlaying; });
    m.fOpenFile(testsupport::media(QStringLiteral("short.mkv")));
    A::action(m, "mnPlay")->trigger(); // a first start has autostart off
    ASSERT_TRUE(waitUntil([&] { return playing == 1; }));
    // The test picture has many colours; an empty player area has one or two.
    ASSERT_TRUE(waitUntil([&] { return colours(grab(area)) > 20; }, 20000))
        << "blank area had " << blank << " colours, now " << colours(grab(area));
    grab(area).save(QDir::current().filePath(QStringLiteral("smoke-video.png")));

    // Paused, the picture holds still; moving the mouse over it brings up the controls.
    QCursor::setPos(m.mapToGlobal(QPoint(m.width() - 20, 5)));
    int paused = 0;
    QObject::connect(&A::player(m), &playback::MediaPlayer::PlayStateChange,
                     [&](int s) { paused += s == playback::psPaused; });
    A::action(m, "mnPause")->trigger();
    ASSERT_TRUE(waitUntil([&] { return paused == 1; }));
    QImage still = grab(area), now;
    ASSERT_TRUE(waitUntil([&] {
        QElapsedTimer quiet;
        quiet.start();
        waitUntil([&] { return quiet.hasExpired(300); });
        now = grab(area);
        const bool steady = changed(still, now) == 0.0;
        still = now;
        return steady;
    }));
    const QRect bar(0, area->height() * 2 / 3, area->width(), area->height() / 3);
    int step = 0;
    const bool shown = waitUntil(
        [&] {
            // Keep the mouse moving, as a hand would.
            QCursor::setPos(
                area->mapToGlobal(QPoint(area->width() / 2 + (step++ % 20), area->height() - 30)));
            return changed(still.copy(bar), grab(area).copy(bar)) > 0.05;
        },
        10000);
    grab(area).save(QDir::current().filePath(QStringLiteral("smoke-controls.png")));
    ASSERT_TRUE(shown) << "the on-screen controls did not appear under the mouse";

    // A real click (through the X server) on the controls' play button resumes.
    const int before = playing;
    QCursor::setPos(area->mapToGlobal(QPoint(9, area->height() - 9)));
    QProcess click;
    click.start(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(click.waitForFinished(10000) && click.exitCode() == 0) << "xdotool failed";
    EXPECT_TRUE(waitUntil([&] { return playing == before + 1; }))
        << "the play button took no click";
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
