// The main window with the real engine (headless output): layout, menus, start and end.
#include "main_access.h"

#include "qt/russian.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWindow>

using testsupport::RecordingLink;
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

} // namespace

TEST_F(Window, IsLaidOutAsDesigned) {
    auto m = open();
    EXPECT_EQ(m->windowTitle(), QStringLiteral("Tunelark"));
    EXPECT_EQ(m->centralWidget()->size(), QSize(692, 471));
    m->show();
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return m->isVisible() && m->windowHandle()->isExposed(); }));
    // The client area sits below the menu bar, first placed at 189, 214 on the screen.
    EXPECT_EQ(m->centralWidget()->mapToGlobal(QPoint(0, 0)), QPoint(189, 214));
    EXPECT_EQ(m->minimumSize(), m->maximumSize()); // no resizing

    struct Place {
        QWidget* widget;
        QRect rect;
    };
    const Place places[] = {
        {A::playerArea(*m), {0, 100, 439, 369}}, {A::text(*m, 0), {0, 0, 441, 19}},
        {A::text(*m, 1), {0, 20, 441, 19}},      {A::text(*m, 2), {0, 40, 441, 19}},
        {A::text(*m, 3), {0, 60, 441, 19}},      {A::text(*m, 4), {0, 80, 441, 19}},
        {A::list(*m), {440, 0, 253, 472}},
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

TEST_F(Window, TabRunsThroughPlayerFieldsAndList) {
    auto m = open();
    QList<QWidget*> chain;
    QWidget* w = A::playerArea(*m);
    for (int i = 0; i < 7; ++i) {
        chain << w;
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(m.get()));
    }
    const QList<QWidget*> expected = {A::playerArea(*m), A::text(*m, 0), A::text(*m, 1),
                                      A::text(*m, 2),    A::text(*m, 3), A::text(*m, 4),
                                      A::list(*m)};
    EXPECT_EQ(chain, expected);
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
    EXPECT_EQ(A::player(*m).fnINI, (folder.path() + QStringLiteral("/mirc.ini")).toStdString());
    EXPECT_EQ(A::player(*m).FN, (folder.path() + QStringLiteral("/SongName.txt")).toStdString());
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
    EXPECT_EQ(A::player(*m).fnINI, "/mirc.ini");
    EXPECT_EQ(A::player(*m).FN, "/SongName.txt");
    // Destroyed without closing, so nothing is written to the root folder.
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installRussian(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
