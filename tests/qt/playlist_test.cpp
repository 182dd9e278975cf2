// Opening, dropping, double-clicking, transport commands, options and hotkeys, through the
// window with the real engine.
#include "main_access.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

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
        tap = std::make_unique<testsupport::EngineTap>(engine());
    }

    MpvEngine& engine() { return A::engine(*m); }
    QString playing() { return QString::fromStdString(engine().currentTrack().sourceURL); }
    QString entry(int row) { return QString::fromStdString(engine().entries().at(row).sourceURL); }
    QStringList view() { return A::rows(*m); }
    // A list on disk comes into the view in parts.
    bool shows(const QStringList& rows) {
        return waitUntil([&] { return view() == rows; });
    }
    int count(PlayState s) const { return tap->count(s); }
    bool waitFor(PlayState s, int times = 1) { return tap->waitFor(s, times); }
    // The next start of playback, and which entry it was.
    bool waitForStartOf(int row, int started) {
        return waitFor(PlayState::Playing, started + 1) && playing() == entry(row);
    }
    void autoStart() { A::action(*m, "mnAutoStart")->trigger(); }
    // The entry at row starts when double-clicked, and it is the file named; then it stops.
    bool playsByDoubleClick(int row, const QString& file) {
        tap->started.clear();
        A::setRow(*m, row);
        A::dblClick(*m);
        if (!waitUntil([&] { return !tap->started.isEmpty(); }) || tap->started.first() != file)
            return false;
        A::action(*m, "mnStop")->trigger();
        return waitUntil([&] { return tap->states.back() == PlayState::Stopped; });
    }
    static bool write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
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
    std::unique_ptr<testsupport::EngineTap> tap;
};

} // namespace

TEST_F(Playlist, OpenDialogLoadsTheChosenFileAndCancelKeepsEverything) {
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitUntil([&] { return engine().entries().size() == 3; }));
    const QStringList before = view();
    QString seen;
    bool usable = false;
    answerOpenDialog(QString(), &seen, &usable);
    A::action(*m, "mnOpen")->trigger();
    EXPECT_EQ(seen, QStringLiteral("Все файлы (*)@") + folder.path() + QStringLiteral("@Открыть"));
    EXPECT_TRUE(usable) << "the open dialog must not block the main window";
    EXPECT_EQ(view(), before);
    EXPECT_EQ(engine().entries().size(), 3u);

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
    EXPECT_EQ(engine().URL(), media(QStringLiteral("upper.ogg")).toStdString());

    auto* text = new QMimeData;
    text->setText(media(QStringLiteral("tagged.mp3")));
    drop(A::list(*m), text);
    EXPECT_EQ(view(), QStringList{QStringLiteral("upper")});
    EXPECT_EQ(engine().URL(), media(QStringLiteral("upper.ogg")).toStdString());
    delete files;
    delete text;
}

TEST_F(Playlist, DoubleClickPlaysTheSelectedEntryEvenShuffled) {
    autoStart();
    A::action(*m, "mnRandom")->trigger();
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    EXPECT_TRUE(
        shows({QStringLiteral("Первая песня"), QStringLiteral("second"), QStringLiteral("Third")}));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    for (int row : {2, 0, 1, 2}) {
        const int started = count(PlayState::Playing);
        A::setRow(*m, row);
        A::dblClick(*m);
        ASSERT_TRUE(waitForStartOf(row, started)) << row;
    }
}

TEST_F(Playlist, AFolderReachedInsideTheListRefillsTheView) {
    QTemporaryDir lists;
    const QString list = lists.filePath(QStringLiteral("with-folder.m3u"));
    ASSERT_TRUE(
        write(list, (media(QStringLiteral("beep0.ogg")) + u'\n' + media(QStringLiteral("folder")) +
                     u'\n' + media(QStringLiteral("beep3.ogg")) + u'\n')
                        .toUtf8()));
    autoStart();
    m->fOpenFile(list);
    EXPECT_TRUE(
        shows({QStringLiteral("beep0"), QStringLiteral("folder"), QStringLiteral("beep3")}));
    const QStringList expanded{QStringLiteral("beep0"), QStringLiteral("a"), QStringLiteral("b"),
                               QStringLiteral("c"), QStringLiteral("beep3")};
    ASSERT_TRUE(waitUntil([&] { return view() == expanded; }));
    // The list plays on by itself while this looks, so the highlight is compared with whichever
    // entry of the folder plays by then.
    EXPECT_TRUE(waitUntil([&] {
        const int row = A::row(*m);
        return row >= 1 && row <= 3 && playing() == entry(row);
    })) << "the highlight is on the entry playing";
    // Stopped first, so the list playing on by itself cannot start an entry in between.
    A::action(*m, "mnStop")->trigger();
    ASSERT_TRUE(waitUntil([&] { return tap->states.back() == PlayState::Stopped; }));
    for (int row : {4, 0, 2})
        ASSERT_TRUE(playsByDoubleClick(row, expanded[row])) << row;
}

TEST_F(Playlist, AListMadeOnWindowsPlaysEachEntryUnderItsCyrillicName) {
    // CP1251, CR LF, "\" between folders, and a title of the list's own for one entry.
    QTemporaryDir lists;
    QDir dir(lists.path());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("Ночь")));
    const QStringList files{QStringLiteral("Утро"), QStringLiteral("День"), QStringLiteral("Ёлка")};
    for (const QString& file :
         {QStringLiteral("Утро.ogg"), QStringLiteral("День.ogg"), QStringLiteral("Ночь/Ёлка.ogg")})
        ASSERT_TRUE(QFile::copy(media(QStringLiteral("untagged.ogg")), dir.filePath(file)));
    const QString list = dir.filePath(QStringLiteral("Песни.m3u"));
    ASSERT_TRUE(write(list, "#EXTM3U\r\n\xd3\xf2\xf0\xee.ogg\r\n"
                            "#EXTINF:3,\xc2\xe5\xf7\xe5\xf0\xed\xff\xff \xef\xe5\xf1\xed\xff\r\n"
                            "\xc4\xe5\xed\xfc.ogg\r\n"
                            "\xcd\xee\xf7\xfc\\\xa8\xeb\xea\xe0.ogg\r\n"));
    m->fOpenFile(list);
    EXPECT_TRUE(
        shows({QStringLiteral("Утро"), QStringLiteral("Вечерняя песня"), QStringLiteral("Ёлка")}));
    for (int row : {0, 1, 2})
        ASSERT_TRUE(playsByDoubleClick(row, files[row])) << row;
}

TEST_F(Playlist, AHundredThousandEntriesComeInWhileTheWindowAnswers) {
    if (testsupport::kSanitized)
        GTEST_SKIP() << "a list of 100,000 entries takes minutes under the sanitizers";

    QTemporaryDir lists;
    const QString list = lists.filePath(QStringLiteral("big.m3u"));
    const QByteArray entry = media(QStringLiteral("beep0.ogg")).toUtf8() + '\n';
    ASSERT_TRUE(write(list, entry.repeated(100000)));
    // Another thread asks the window's thread to answer a call, again and again.
    std::atomic<bool> loading{true}, unanswered{false}, asked{false};
    std::thread asker([&] {
        while (loading && !unanswered) {
            auto answer = std::make_shared<std::promise<void>>();
            auto answered = answer->get_future();
            QMetaObject::invokeMethod(
                m.get(), [answer] { answer->set_value(); }, Qt::QueuedConnection);
            unanswered =
                answered.wait_for(std::chrono::milliseconds(500)) != std::future_status::ready;
        }
        asked = true;
    });
    autoStart();
    m->fOpenFile(list);
    const bool whole = waitUntil([&] { return A::list(*m)->model()->rowCount() == 100000; }, 30000);
    loading = false;
    waitUntil([&] { return asked.load(); }); // its last call answered here
    asker.join();
    EXPECT_TRUE(whole);
    EXPECT_FALSE(unanswered) << "the window held a call for half a second";
    EXPECT_TRUE(waitFor(PlayState::Playing));
}

TEST_F(Playlist, OptionsToggleTheirMarkAndTheEngine) {
    struct Case {
        const char* action;
        std::function<bool(MpvEngine&)> engine;
    };
    const Case cases[] = {
        {"mnRandom", [](MpvEngine& e) { return e.shuffle(); }},
        {"mnRepeat", [](MpvEngine& e) { return e.loop(); }},
        {"mnAutoStart", [](MpvEngine& e) { return e.autoStart(); }},
    };
    for (const auto& c : cases) {
        QAction* a = A::action(*m, c.action);
        a->trigger();
        EXPECT_TRUE(a->isChecked()) << c.action;
        EXPECT_TRUE(c.engine(engine())) << c.action;
        a->trigger();
        EXPECT_FALSE(a->isChecked()) << c.action;
        EXPECT_FALSE(c.engine(engine())) << c.action;
    }
}

TEST_F(Playlist, HotkeysMoveThroughThePlaylistAndSetTheVolume) {
    m->show();
    m->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m.get()));
    autoStart();
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    ASSERT_TRUE(waitUntil([&] { return engine().entries().size() == 3; }));
    QTest::keyClick(m.get(), Qt::Key_F8);
    ASSERT_TRUE(waitForStartOf(1, 1));
    EXPECT_EQ(A::row(*m), 1) << "the highlight follows the entry playing";
    QTest::keyClick(m.get(), Qt::Key_F7);
    ASSERT_TRUE(waitForStartOf(0, 2));
    EXPECT_EQ(A::row(*m), 0);

    const int volume = engine().volume();
    QTest::keyClick(m.get(), Qt::Key_F12);
    EXPECT_EQ(engine().volume(), volume + 4);
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(m.get(), Qt::Key_F11);
    EXPECT_EQ(engine().volume(), 0); // every press counts, and the engine stops at 0
}

TEST_F(Playlist, ListMenuClearsTheListAndStops) {
    autoStart();
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    A::action(*m, "mnClearList")->trigger();
    ASSERT_TRUE(waitFor(PlayState::Stopped));
    EXPECT_TRUE(view().isEmpty());
    EXPECT_TRUE(engine().entries().empty());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
