// The main window with the real engine (headless output): layout, menus, the control bar,
// start and end.
#include "main_access.h"

#include "player/layout.h"
#include "qt/russian.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QWindow>

#include <cmath>
#include <map>

using testsupport::RecordingLink;
using testsupport::waitUntil;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class Window : public ::testing::Test {
protected:
    std::unique_ptr<Main> open() { return testsupport::headlessMain(folder.path(), log); }
    QString ini() const { return folder.filePath(QStringLiteral("mirc.ini")); }

    QTemporaryDir folder;
    std::shared_ptr<RecordingLink::Log> log = std::make_shared<RecordingLink::Log>();
};

using A = MainTestAccess;

// The control bar's widgets, by their names.
struct Bar {
    explicit Bar(Main& m)
        : play(A::bar(m)->findChild<QAbstractButton*>(u"play"_s)),
          mute(A::bar(m)->findChild<QAbstractButton*>(u"mute"_s)),
          position(A::bar(m)->findChild<QSlider*>(u"position"_s)),
          volume(A::bar(m)->findChild<QSlider*>(u"volume"_s)),
          elapsed(A::bar(m)->findChild<QLabel*>(u"elapsed"_s)),
          total(A::bar(m)->findChild<QLabel*>(u"total"_s)) {}
    bool found() const { return play && mute && position && volume && elapsed && total; }
    QAbstractButton *play, *mute;
    QSlider *position, *volume;
    QLabel *elapsed, *total;
};

} // namespace

// The places come from the one table of the form; their pixels are tested with it.
TEST_F(Window, IsLaidOutAsDesigned) {
    using player::kForm;
    const auto rect = [](const player::Twips& twips) {
        const player::Pixels p = player::pixels(twips, 96);
        return QRect(p.left, p.top, p.width, p.height);
    };
    auto m = open();
    EXPECT_EQ(m->windowTitle(), QStringLiteral("Tunelark"));
    EXPECT_EQ(m->centralWidget()->size(), rect(kForm.client).size());
    m->show();
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return m->isVisible() && m->windowHandle()->isExposed(); }));
    // The client area sits below the menu bar, first placed where the form says.
    EXPECT_EQ(m->centralWidget()->mapToGlobal(QPoint(0, 0)), rect(kForm.client).topLeft());
    EXPECT_EQ(m->minimumSize(), m->maximumSize()); // no resizing

    struct Place {
        QWidget* widget;
        QRect rect;
    };
    const QRect area = rect(kForm.WindowsMediaPlayer1);
    const int barTop = area.height() - ControlBar::kHeight;
    const Place places[] = {
        {A::playerArea(*m), area},
        {A::text(*m, 0), rect(kForm.Text[0])},
        {A::text(*m, 1), rect(kForm.Text[1])},
        {A::text(*m, 2), rect(kForm.Text[2])},
        {A::text(*m, 3), rect(kForm.Text[3])},
        {A::text(*m, 4), rect(kForm.Text[4])},
        {A::list(*m), rect(kForm.List1)},
        {m->findChild<QWidget*>(QStringLiteral("Label1")), rect(kForm.Label1)},
        // Inside the player area: the picture above the bar.
        {A::picture(*m), {0, 0, area.width(), barTop}},
        {A::bar(*m), {0, barTop, area.width(), ControlBar::kHeight}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.widget->geometry(), p.rect) << p.widget->objectName().toStdString();

    for (int i = 0; i < 5; ++i) {
        QLineEdit* field = A::text(*m, i);
        field->ensurePolished();
        EXPECT_TRUE(field->isReadOnly());
        EXPECT_TRUE(field->text().isEmpty());
        EXPECT_EQ(field->palette().color(QPalette::Text), QColor(Qt::white));
        EXPECT_EQ(field->palette().color(QPalette::Base), QColor(Qt::black));
    }
    A::list(*m)->ensurePolished();
    EXPECT_EQ(A::list(*m)->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(A::list(*m)->palette().color(QPalette::Base), QColor(Qt::black));
    auto* label = m->findChild<QWidget*>(QStringLiteral("Label1"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isHidden());
}

TEST_F(Window, HasTheMenusWithTheirCaptions) {
    auto m = open();
    // Menu bar order, then each menu's items in order ("-" is a separator).
    const std::vector<std::pair<QString, QStringList>> expected = {
        {QStringLiteral("&Файл"),
         {QStringLiteral("&Открыть"), QStringLiteral("-"), QStringLiteral("&Выход")}},
        {QStringLiteral("&Воспроизведение"),
         {QStringLiteral("&Воспроизведение"), QStringLiteral("&Пауза"),
          QStringLiteral("&Остановить"), QStringLiteral("-"), QStringLiteral("А&втостарт"),
          QStringLiteral("&Случайно"), QStringLiteral("&Автоповтор")}},
        {QStringLiteral("&Название песни"),
         {QStringLiteral("&Написать"), QStringLiteral("&Форма записи"), QStringLiteral("-"),
          QStringLiteral("&Писать автоматически")}},
    };
    QList<QAction*> visible;
    for (QAction* a : m->menuBar()->actions())
        if (a->isVisible())
            visible << a;
    ASSERT_EQ(visible.size(), int(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(visible[i]->text(), expected[i].first);
        QStringList items;
        for (QAction* a : visible[i]->menu()->actions()) {
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
            EXPECT_TRUE(a->shortcut().isEmpty()) << a->text().toStdString();
        }
        EXPECT_EQ(items, expected[i].second);
    }
    // The list menu is hidden from the menu bar.
    QMenu* list = A::menu(*m, "mnList");
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->menuAction()->isVisible());
    EXPECT_EQ(list->title(), QStringLiteral("&Меню списка"));
    for (const char* check : {"mnAutoStart", "mnRandom", "mnRepeat", "mnAutoPrint"}) {
        EXPECT_TRUE(A::action(*m, check)->isCheckable()) << check;
        EXPECT_FALSE(A::action(*m, check)->isChecked()) << check;
    }
}

TEST_F(Window, TabRunsThroughTheBarFieldsAndList) {
    auto m = open();
    auto bar = [&](const char* name) {
        return A::bar(*m)->findChild<QWidget*>(QLatin1String(name));
    };
    const QList<QWidget*> expected = {
        bar("position"), bar("previous"), bar("play"),    bar("stop"),    bar("next"),
        bar("mute"),     bar("volume"),   A::text(*m, 0), A::text(*m, 1), A::text(*m, 2),
        A::text(*m, 3),  A::text(*m, 4),  A::list(*m)};
    QList<QWidget*> chain;
    QWidget* w = expected.first();
    for (int i = 0; i < expected.size() && w; ++i) {
        chain << w;
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(m.get()));
    }
    EXPECT_EQ(chain, expected);
}

// What a screen reader is told: each of the bar's controls by its role and Russian name, with a
// Russian tooltip.
TEST_F(Window, BarControlsAreFoundByRoleAndRussianName) {
    auto m = open();
    m->show();
    // Every node's name, role and description, from the window down.
    std::multimap<QString, std::pair<QAccessible::Role, QString>> nodes;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        for (int i = 0; node && i < node->childCount(); ++i) {
            if (QAccessibleInterface* child = node->child(i)) {
                nodes.emplace(child->text(QAccessible::Name),
                              std::pair(child->role(), child->text(QAccessible::Description)));
                walk(child);
            }
        }
    };
    walk(QAccessible::queryAccessibleInterface(m.get()));
    const std::pair<QString, QAccessible::Role> controls[] = {
        {u"Позиция"_s, QAccessible::Slider},         {u"Предыдущая"_s, QAccessible::Button},
        {u"Воспроизведение"_s, QAccessible::Button}, {u"Остановить"_s, QAccessible::Button},
        {u"Следующая"_s, QAccessible::Button},       {u"Без звука"_s, QAccessible::CheckBox},
        {u"Громкость"_s, QAccessible::Slider},       {u"Прошло 00:00"_s, QAccessible::StaticText},
        {u"Длительность"_s, QAccessible::StaticText}};
    const QRegularExpression russian(u"^[А-Яа-яЁё]"_s);
    for (const auto& [name, role] : controls) {
        SCOPED_TRACE(name.toStdString());
        const auto [first, last] = nodes.equal_range(name);
        const auto found =
            std::find_if(first, last, [&](const auto& n) { return n.second.first == role; });
        ASSERT_NE(found, last) << "not in the accessibility tree with its role";
        if (role != QAccessible::StaticText) {
            const QString& tip = found->second.second;
            EXPECT_TRUE(russian.match(tip).hasMatch()) << tip.toStdString();
        }
    }
}

// The bar asks the engine, and shows what the engine then does, whoever asked.
TEST_F(Window, BarDrivesTheEngineAndFollowsIt) {
    QDBusConnection own = QDBusConnection::sessionBus();
    ASSERT_TRUE(own.isConnected()) << "needs a session bus";
    auto m = open();
    m->show(); // the desktop's media controls come with the window on the screen
    MpvEngine& engine = A::engine(*m);
    const Bar bar(*m);
    ASSERT_TRUE(bar.found());
    auto [play, mute, position, volume, elapsed, total] = bar;
    EXPECT_EQ(volume->value(), 50);
    EXPECT_FALSE(position->isEnabled()) << "nothing to seek in";

    testsupport::EngineTap tap(engine);
    m->fOpenFile(testsupport::media(u"almost-minute.ogg"_s));
    play->click(); // a first start has autostart off
    ASSERT_TRUE(tap.waitFor(playback::PlayState::Playing));
    EXPECT_TRUE(waitUntil([&] { return play->accessibleName() == u"Пауза"_s; }));
    EXPECT_EQ(total->text(), u"00:59"_s);
    EXPECT_TRUE(position->isEnabled());

    play->click();
    ASSERT_TRUE(tap.waitFor(playback::PlayState::Paused));
    EXPECT_TRUE(waitUntil([&] { return play->accessibleName() == u"Воспроизведение"_s; }));

    // A drag seeks where it is let go, and the bar shows where the engine went.
    position->setSliderDown(true);
    position->setSliderPosition(30);
    position->setSliderDown(false);
    EXPECT_TRUE(waitUntil([&] { return std::abs(engine.position() - 30) < 1; }))
        << engine.position();
    // The engine may land a hair before the second asked for, which shows as the one before.
    EXPECT_TRUE(waitUntil([&] {
        return elapsed->text() == u"00:30"_s || elapsed->text() == u"00:29"_s;
    })) << elapsed->text().toStdString();
    EXPECT_EQ(position->value(), elapsed->text() == u"00:29"_s ? 29 : 30);

    volume->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_TRUE(waitUntil([&] { return engine.volume() == 40; })) << engine.volume();
    mute->click();
    EXPECT_TRUE(waitUntil([&] { return engine.transport().muted; }));

    // The desktop's media controls set the volume; the bar follows.
    QDBusConnection probe = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"probe"_s);
    auto set = QDBusMessage::createMethodCall(own.baseService(), u"/org/mpris/MediaPlayer2"_s,
                                              u"org.freedesktop.DBus.Properties"_s, u"Set"_s);
    set << u"org.mpris.MediaPlayer2.Player"_s << u"Volume"_s
        << QVariant::fromValue(QDBusVariant(0.8));
    // Sent again until the window has put its interface on the bus.
    QDBusPendingCall call = probe.asyncCall(set);
    EXPECT_TRUE(waitUntil([&] {
        if (call.isFinished() && call.isError())
            call = probe.asyncCall(set);
        return volume->value() == 80;
    })) << volume->value();
    QDBusConnection::disconnectFromBus(u"probe"_s);
}

// What a screen reader reads of the bar and does with it: the times by their labels' names, and
// a value set on the position slider seeks, as a drag does.
TEST_F(Window, AScreenReaderHearsTheTimesAndSeeksWithTheSlider) {
    auto m = open();
    m->show();
    MpvEngine& engine = A::engine(*m);
    const Bar bar(*m);
    ASSERT_TRUE(bar.found());
    auto [play, mute, position, volume, elapsed, total] = bar;
    const auto name = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    testsupport::EngineTap tap(engine);
    m->fOpenFile(testsupport::media(u"almost-minute.ogg"_s));
    play->click();
    ASSERT_TRUE(tap.waitFor(playback::PlayState::Playing));
    play->click();
    ASSERT_TRUE(tap.waitFor(playback::PlayState::Paused));
    EXPECT_EQ(name(total), u"Длительность 00:59"_s);

    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(position);
    ASSERT_TRUE(slider && slider->valueInterface());
    slider->valueInterface()->setCurrentValue(40);
    EXPECT_TRUE(waitUntil([&] { return std::abs(engine.position() - 40) < 1; }))
        << engine.position();
    // The engine may land a hair before the second asked for.
    EXPECT_TRUE(waitUntil([&] {
        return name(elapsed) == u"Прошло 00:40"_s || name(elapsed) == u"Прошло 00:39"_s;
    })) << name(elapsed).toStdString();
}

TEST_F(Window, StoredOptionsCheckTheirMenuItems) {
    // The reading rules and the engine's part: tests/settings and tests/player.
    writeAll(ini(), "[Tunelark]\r\nRepeat=True\r\nRandom=True\r\nAutoPrint=True\r\n");
    auto m = open();
    EXPECT_TRUE(A::action(*m, "mnRepeat")->isChecked());
    EXPECT_FALSE(A::action(*m, "mnAutoStart")->isChecked());
    EXPECT_TRUE(A::action(*m, "mnRandom")->isChecked());
    EXPECT_TRUE(A::action(*m, "mnAutoPrint")->isChecked());
    EXPECT_TRUE(A::engine(*m).loop());
    EXPECT_TRUE(A::engine(*m).shuffle());
    EXPECT_EQ(A::player(*m).settingsFile(),
              (folder.path() + QStringLiteral("/mirc.ini")).toStdString());
    EXPECT_EQ(A::player(*m).songFile(),
              (folder.path() + QStringLiteral("/SongName.txt")).toStdString());
}

TEST_F(Window, ExitAndCloseSaveTheSameOptions) {
    QByteArray saved[2];
    for (int way = 0; way < 2; ++way) {
        QFile::remove(ini());
        auto m = open();
        A::action(*m, "mnRepeat")->trigger();
        A::action(*m, "mnAutoPrint")->trigger();
        if (way == 0)
            A::action(*m, "mnExit")->trigger();
        else
            m->close();
        saved[way] = readAll(ini());
    }
    EXPECT_EQ(saved[0],
              "[Tunelark]\r\nRepeat=True\r\nAutoStart=False\r\nRandom=False\r\nAutoPrint=True\r\n");
    EXPECT_EQ(saved[0], saved[1]);
}

TEST_F(Window, DialogsSpeakRussian) {
    auto m = open();
    log->accept = false;
    struct Case {
        const char* dialog;
        std::function<void()> show; // returns once the dialog is closed
        bool cancels;
    };
    const Case cases[] = {
        {"input box", [&] { A::action(*m, "mnFormat")->trigger(); }, true},
        {"message box", [&] { A::messageBox(*m, "x"); }, false},
        {"file dialog", [&] { A::action(*m, "mnOpen")->trigger(); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialog);
        QStringList buttons;
        QTimer reader;
        reader.callOnTimeout([&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QDialog*>(w);
                if (!dialog || !dialog->isVisible())
                    continue;
                for (auto* button : dialog->findChildren<QAbstractButton*>())
                    if (button->isVisible() && !button->text().isEmpty())
                        buttons << button->text();
                dialog->reject();
            }
        });
        reader.start(20);
        c.show();
        ASSERT_FALSE(buttons.isEmpty());
        EXPECT_EQ(buttons.contains(QStringLiteral("Отмена")), c.cancels)
            << buttons.join(u',').toStdString();
        // "OK" is the Russian translation's own word for OK.
        for (const QString& text : buttons)
            EXPECT_TRUE(text == u"OK" || !text.contains(QRegularExpression(u"[A-Za-z]"_s)))
                << text.toStdString();
    }
}

TEST_F(Window, RootFolderGetsNoDoubledSeparator) {
    auto m = testsupport::headlessMain(QStringLiteral("/"));
    EXPECT_EQ(A::player(*m).settingsFile(), "/mirc.ini");
    EXPECT_EQ(A::player(*m).songFile(), "/SongName.txt");
    // Destroyed without closing, so nothing is written to the root folder.
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installRussian(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
