// The real window on the X display: the engine draws the picture, or a song's cover, into the
// player area, above the window's own control bar.
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

} // namespace

TEST(RealWindow, ShowsThePictureOrCoverAboveTheBarAndTakesARealClick) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "needs an X display";
    QTemporaryDir folder;
    Main m(testsupport::onScreenOptions(folder.path()));
    m.show();
    ASSERT_TRUE(waitUntil([&] { return m.windowHandle() && m.windowHandle()->isExposed(); }));
    QWidget* picture = A::picture(m);
    QCursor::setPos(m.mapToGlobal(QPoint(m.width() - 20, 5))); // away from the player
    EXPECT_TRUE(waitUntil([&] { return lit(testsupport::grabScreen(picture)) < 0.005; }, 5000))
        << "an empty player stays dark: " << lit(testsupport::grabScreen(picture));

    testsupport::EngineTap tap(A::engine(m));
    int playing = 0, paused = 0;
    tap.on = [&](playback::PlayState s) {
        playing += s == playback::PlayState::Playing;
        paused += s == playback::PlayState::Paused;
    };
    // A song shows the cover it carries; the test picture has many colours, an empty player
    // area one or two.
    m.fOpenFile(testsupport::media(QStringLiteral("cover.mp3")));
    A::action(m, "mnPlay")->trigger(); // a first start has autostart off
    ASSERT_TRUE(waitUntil([&] { return playing == 1; }));
    EXPECT_TRUE(waitUntil([&] { return colours(testsupport::grabScreen(picture)) > 20; }, 10000))
        << "no cover: " << colours(testsupport::grabScreen(picture)) << " colours";
    testsupport::grabScreen(A::playerArea(m))
        .save(QDir::current().filePath(QStringLiteral("smoke-song.png")));

    // A video: the picture shows.
    m.fOpenFile(testsupport::media(QStringLiteral("short.mkv")));
    A::action(m, "mnPlay")->trigger();
    ASSERT_TRUE(waitUntil([&] { return playing == 2; }));
    ASSERT_TRUE(waitUntil([&] { return colours(testsupport::grabScreen(picture)) > 20; }, 20000))
        << "no picture: " << colours(testsupport::grabScreen(picture)) << " colours";
    testsupport::grabScreen(A::playerArea(m))
        .save(QDir::current().filePath(QStringLiteral("smoke-video.png")));

    // A real click (through the X server) on the bar's play button resumes.
    A::action(m, "mnPause")->trigger();
    ASSERT_TRUE(waitUntil([&] { return paused == 1; }));
    QWidget* play = A::bar(m)->findChild<QWidget*>(QStringLiteral("play"));
    ASSERT_NE(play, nullptr);
    QCursor::setPos(play->mapToGlobal(play->rect().center()));
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
