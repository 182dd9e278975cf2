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
        tap = std::make_unique<testsupport::EngineTap>(engine());
    }

    MpvEngine& engine() { return A::engine(*m); }
    QString playing() { return QString::fromStdString(engine().currentTrack().sourceURL); }
    QString entry(int row) { return QString::fromStdString(engine().entries().at(row).sourceURL); }
    QStringList view() {
        QStringList out;
        for (int i = 0; i < A::list(*m)->count(); ++i)
            out << A::list(*m)->item(i)->text();
        return out;
    }
    int count(int s) const { return tap->count(s); }
    bool waitFor(int s, int times = 1) { return tap->waitFor(s, times); }
    // The next start of playback, and which entry it was.
    bool waitForStartOf(int row, int started) {
        return waitFor(psPlaying, started + 1) && playing() == entry(row);
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
    std::unique_ptr<testsupport::EngineTap> tap;
};

} // namespace

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
        ASSERT_TRUE(waitUntil([&] { return tap->states.back() == psStopped; }));
        tap->started.clear();
        A::list(*m)->setCurrentRow(row);
        A::dblClick(*m);
        ASSERT_TRUE(waitUntil([&] { return !tap->started.isEmpty(); })) << row;
        EXPECT_EQ(tap->started.first(), view()[row]);
    }
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
    ASSERT_TRUE(waitFor(psPlaying));
    QTest::keyClick(m.get(), Qt::Key_F8);
    ASSERT_TRUE(waitForStartOf(1, 1));
    EXPECT_EQ(A::list(*m)->currentRow(), 1) << "the highlight follows the entry playing";
    QTest::keyClick(m.get(), Qt::Key_F7);
    ASSERT_TRUE(waitForStartOf(0, 2));
    EXPECT_EQ(A::list(*m)->currentRow(), 0);

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
    ASSERT_TRUE(waitFor(psPlaying));
    A::action(*m, "mnClearList")->trigger();
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_TRUE(view().isEmpty());
    EXPECT_TRUE(engine().entries().empty());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
