// The real window on the X display: the engine draws video and its on-screen controls into
// the player area.
#include "main_access.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>

using testsupport::colours;
using testsupport::waitUntil;
using A = MainTestAccess;

namespace {

// Share of sampled pixels that are not black.
double lit(const QImage& image) {
    int on = 0, total = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2, ++total)
            on += qGray(image.pixel(x, y)) > 24;
    return total ? double(on) / total : 0;
}

// Share of sampled pixels in colour rather than grey: the test picture, not the controls.
double colourful(const QImage& image) {
    int on = 0, total = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2, ++total) {
            const QRgb p = image.pixel(x, y);
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            on += std::max({r, g, b}) - std::min({r, g, b}) > 64;
        }
    return total ? double(on) / total : 0;
}

} // namespace

TEST(RealWindow, ShowsTheOnScreenControlsWithoutHoveringAndVideoAboveThem) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "needs an X display";
    QTemporaryDir folder;
    Main m(testsupport::onScreenOptions(folder.path()));
    m.show();
    ASSERT_TRUE(waitUntil([&] { return m.windowHandle() && m.windowHandle()->isExposed(); }));
    QWidget* area = A::playerArea(m);
    QCursor::setPos(m.mapToGlobal(QPoint(m.width() - 20, 5))); // away from the player
    const QRect bar(0, area->height() - area->height() / 8, area->width(), area->height() / 8);
    EXPECT_TRUE(waitUntil([&] { return lit(testsupport::grabScreen(area)) < 0.005; }, 5000))
        << "an empty player stays dark: " << lit(testsupport::grabScreen(area));

    testsupport::EngineTap tap(A::engine(m));
    int playing = 0, paused = 0;
    tap.on = [&](int s) {
        playing += s == playback::psPlaying;
        paused += s == playback::psPaused;
    };
    // A song: the controls' strip is drawn at the bottom while nothing hovers over it.
    m.fOpenFile(testsupport::media(QStringLiteral("tagged.mp3")));
    A::action(m, "mnPlay")->trigger(); // a first start has autostart off
    ASSERT_TRUE(waitUntil([&] { return playing == 1; }));
    const bool drawn =
        waitUntil([&] { return lit(testsupport::grabScreen(area).copy(bar)) > 0.05; }, 10000);
    testsupport::grabScreen(area).save(QDir::current().filePath(QStringLiteral("smoke-song.png")));
    ASSERT_TRUE(drawn) << "the controls' strip stayed dark: "
                       << lit(testsupport::grabScreen(area).copy(bar));

    // A video: the picture shows, above the controls.
    m.fOpenFile(testsupport::media(QStringLiteral("short.mkv")));
    A::action(m, "mnPlay")->trigger();
    ASSERT_TRUE(waitUntil([&] { return playing == 2; }));
    // The test picture has many colours; an empty player area has one or two.
    ASSERT_TRUE(waitUntil([&] { return colours(testsupport::grabScreen(area)) > 20; }, 20000))
        << "no picture: " << colours(testsupport::grabScreen(area)) << " colours";
    testsupport::grabScreen(area).save(QDir::current().filePath(QStringLiteral("smoke-video.png")));
    const QRect underBar(0, area->height() - 30, area->width(), 30);
    EXPECT_LT(colourful(testsupport::grabScreen(area).copy(underBar)), 0.01)
        << "the picture runs under the controls";

    // A real click (through the X server) on the controls' play button resumes.
    A::action(m, "mnPause")->trigger();
    ASSERT_TRUE(waitUntil([&] { return paused == 1; }));
    QCursor::setPos(area->mapToGlobal(QPoint(9, area->height() - 9)));
    QProcess click;
    click.start(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(click.waitForFinished(10000) && click.exitCode() == 0) << "xdotool failed";
    EXPECT_TRUE(waitUntil([&] { return playing == 3; })) << "the play button took no click";
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
