// Opening, dropping, double-clicking, transport commands, options and hotkeys, through the
// window with the real engine.
#include "main_access.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using testsupport::media;
using testsupport::waitUntil;
using A = MainTestAccess;
using namespace playback;

namespace {

class Playlist : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        m = testsupport::headlessMain(folder.path());
        QObject::connect(&player(), &MediaPlayer::PlayStateChange, [this](int s) {
            states.push_back(s);
            if (s == psPlaying)
                started << QFileInfo(player().currentMedia.sourceURL()).completeBaseName();
        });
    }

    MediaPlayer& player() { return A::player(*m); }
    QStringList view() {
        QStringList out;
        for (int i = 0; i < A::list(*m)->count(); ++i)
            out << A::list(*m)->item(i)->text();
        return out;
    }
    int count(int s) const { return int(std::count(states.begin(), states.end(), s)); }
    bool waitFor(int s, int times = 1) {
        return waitUntil([&] { return count(s) >= times; });
    }
    // The next start of playback, and which entry it was.
    bool waitForStartOf(int row, int started) {
        return waitFor(psPlaying, started + 1) &&
               player().currentMedia.sourceURL() == player().currentPlaylist.Item(row)->sourceURL;
    }
    void autoStart() { A::action(*m, "mnAutoStart")->trigger(); }
    void drop(QWidget* target, QMimeData* mime) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
    }
    // Answers the open dialog once it shows: picks file, or cancels when file is empty.
    void answerOpenDialog(const QString& file, QString* seenFilter = nullptr,
                          bool* mainUsable = nullptr) {
        auto* timer = new QTimer(m.get());
        QObject::connect(timer, &QTimer::timeout, [=] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                if (!dialog || !dialog->isVisible())
                    continue;
                timer->stop();
                if (seenFilter)
                    *seenFilter = dialog->nameFilters().join(u'|') + u'@' +
                                  dialog->directory().path() + u'@' + dialog->windowTitle();
                if (mainUsable)
                    *mainUsable =
                        QApplication::activeModalWidget() == nullptr && !dialog->parentWidget();
                if (file.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->selectFile(file);
                    static_cast<QDialog*>(dialog)->accept();
                }
                timer->deleteLater();
                return;
            }
        });
        timer->start(20);
    }

    QTemporaryDir folder;
    std::unique_ptr<Main> m;
    std::vector<int> states;
    QStringList started; // base names of the entries, as each starts playing
};

} // namespace

TEST_F(Playlist, OpeningFillsTheViewAtOnce) {
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    EXPECT_EQ(view(), QStringList{QStringLiteral("tagged")});
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    EXPECT_EQ(view(), (QStringList{QStringLiteral("Первая песня"), QStringLiteral("second"),
                                   QStringLiteral("Third")}));
    // Something that cannot be loaded leaves an empty view, and the program goes on.
    m->fOpenFile(folder.filePath(QStringLiteral("missing.mp3")));
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_EQ(count(psPlaying), 0);
}

TEST_F(Playlist, OpenDialogLoadsTheChosenFileAndCancelKeepsEverything) {
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    const QStringList before = view();
    QString seen;
    bool usable = false;
    answerOpenDialog(QString(), &seen, &usable);
    A::action(*m, "mnOpen")->trigger();
    EXPECT_EQ(seen, QStringLiteral("Все файлы (*)@") + folder.path() + QStringLiteral("@Открыть"));
    EXPECT_TRUE(usable) << "the open dialog must not block the main window";
    EXPECT_EQ(view(), before);
    EXPECT_EQ(player().currentPlaylist.count(), 3);

    answerOpenDialog(media(QStringLiteral("upper.ogg")));
    A::action(*m, "mnOpen")->trigger();
    EXPECT_EQ(view(), QStringList{QStringLiteral("upper")});
}

TEST_F(Playlist, DropLoadsOnlyTheFirstFileAndIgnoresText) {
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(media(QStringLiteral("upper.ogg"))),
                    QUrl::fromLocalFile(media(QStringLiteral("tagged.mp3"))),
                    QUrl::fromLocalFile(media(QStringLiteral("list.m3u")))});
    drop(A::text(*m, 2), files); // over a field: the window takes it, not the field
    EXPECT_EQ(view(), QStringList{QStringLiteral("upper")});
    EXPECT_EQ(A::text(*m, 2)->text(), QString());
    EXPECT_EQ(player().URL(), media(QStringLiteral("upper.ogg")));

    auto* text = new QMimeData;
    text->setText(media(QStringLiteral("tagged.mp3")));
    drop(A::list(*m), text);
    EXPECT_EQ(view(), QStringList{QStringLiteral("upper")});
    EXPECT_EQ(player().URL(), media(QStringLiteral("upper.ogg")));
    delete files;
    delete text;
}

TEST_F(Playlist, DoubleClickPlaysTheSelectedEntryEvenShuffled) {
    autoStart();
    A::action(*m, "mnRandom")->trigger();
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    EXPECT_EQ(view(), (QStringList{QStringLiteral("Первая песня"), QStringLiteral("second"),
                                   QStringLiteral("Third")}));
    ASSERT_TRUE(waitFor(psPlaying));
    for (int row : {2, 0, 1, 2}) {
        const int started = count(psPlaying);
        A::list(*m)->setCurrentRow(row);
        A::dblClick(*m);
        ASSERT_TRUE(waitForStartOf(row, started)) << row;
    }
}

TEST_F(Playlist, AListReachedInsideTheListRefillsTheView) {
    autoStart();
    m->fOpenFile(media(QStringLiteral("nested.m3u")));
    EXPECT_EQ(view(), (QStringList{QStringLiteral("beep0"), QStringLiteral("inner"),
                                   QStringLiteral("beep3")}));
    ASSERT_TRUE(waitUntil([&] { return view().size() == 4; }));
    EXPECT_EQ(view(), (QStringList{QStringLiteral("beep0"), QStringLiteral("beep1"),
                                   QStringLiteral("beep2"), QStringLiteral("beep3")}));
    EXPECT_EQ(A::list(*m)->currentRow(), 1) << "the highlight is on the entry playing";
    for (int row : {3, 0, 2}) {
        A::action(*m, "mnStop")->trigger();
        ASSERT_TRUE(waitUntil([&] { return states.back() == psStopped; }));
        started.clear();
        A::list(*m)->setCurrentRow(row);
        A::dblClick(*m);
        ASSERT_TRUE(waitUntil([&] { return !started.isEmpty(); })) << row;
        EXPECT_EQ(started.first(), view()[row]);
    }
}

TEST_F(Playlist, DoubleClickWithoutSelectionDoesNothing) {
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(psReady));
    const int starts = count(psTransitioning);
    A::list(*m)->clearSelection();
    A::dblClick(*m);
    A::action(*m, "mnPlay")->trigger();
    ASSERT_TRUE(waitFor(psPlaying));
    EXPECT_EQ(count(psTransitioning), starts);
    EXPECT_EQ(player().currentMedia.sourceURL(), player().currentPlaylist.Item(0)->sourceURL);
}

TEST_F(Playlist, OptionsToggleTheirMarkAndTheEngine) {
    struct Case {
        const char* action;
        std::function<bool(MediaPlayer&)> engine;
    };
    const Case cases[] = {
        {"mnRandom", [](MediaPlayer& p) { return p.settings.getMode(QStringLiteral("shuffle")); }},
        {"mnRepeat", [](MediaPlayer& p) { return p.settings.getMode(QStringLiteral("loop")); }},
        {"mnAutoStart", [](MediaPlayer& p) { return p.settings.autoStart(); }},
    };
    for (const auto& c : cases) {
        QAction* a = A::action(*m, c.action);
        a->trigger();
        EXPECT_TRUE(a->isChecked()) << c.action;
        EXPECT_TRUE(c.engine(player())) << c.action;
        a->trigger();
        EXPECT_FALSE(a->isChecked()) << c.action;
        EXPECT_FALSE(c.engine(player())) << c.action;
    }
}

TEST_F(Playlist, AutoStartOffLoadsWithoutPlayingUntilPlay) {
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psReady));
    EXPECT_EQ(count(psPlaying), 0);
    A::action(*m, "mnPlay")->trigger();
    ASSERT_TRUE(waitFor(psPlaying));
}

TEST_F(Playlist, StopThenPlayRestartsTheCurrentTrack) {
    autoStart();
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(psPlaying));
    A::list(*m)->setCurrentRow(1);
    A::dblClick(*m);
    ASSERT_TRUE(waitFor(psPlaying, 2));
    const QString track = player().currentMedia.sourceURL();
    A::action(*m, "mnStop")->trigger();
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_EQ(view().size(), 3);
    A::action(*m, "mnPlay")->trigger();
    ASSERT_TRUE(waitFor(psPlaying, 3));
    EXPECT_EQ(player().currentMedia.sourceURL(), track);
}

TEST_F(Playlist, HotkeysMoveThroughThePlaylistAndSetTheVolume) {
    m->show();
    m->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m.get()));
    autoStart();
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(psPlaying));
    QTest::keyClick(m.get(), Qt::Key_F8);
    ASSERT_TRUE(waitForStartOf(1, 1));
    EXPECT_EQ(A::list(*m)->currentRow(), 1) << "the highlight follows the entry playing";
    QTest::keyClick(m.get(), Qt::Key_F7);
    ASSERT_TRUE(waitForStartOf(0, 2));
    EXPECT_EQ(A::list(*m)->currentRow(), 0);

    const int volume = player().settings.volume();
    QTest::keyClick(m.get(), Qt::Key_F12);
    EXPECT_EQ(player().settings.volume(), volume + 4);
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(m.get(), Qt::Key_F11);
    EXPECT_EQ(player().settings.volume(), 0); // every press counts, and the engine stops at 0
}

TEST_F(Playlist, ListMenuClearsTheListAndStops) {
    autoStart();
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(psPlaying));
    A::action(*m, "mnClearList")->trigger();
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_TRUE(view().isEmpty());
    EXPECT_EQ(player().currentPlaylist.count(), 0);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
