#include "qt/main_window.h"

#include "player/handover.h"
#include "player/layout.h"
#include "qt/control_bar.h"
#include "qt/desktop_control.h"
#include "qt/irc_link_linux.h"
#include "qt/list_model.h"
#include "qt/mpv_engine.h"
#include "qt/program_places.h"
#include "qt/qt_text.h"
#include "qt/show_open.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWindow>

using player::Command;
using player::Player;

namespace {

// Qt's pixels are 96 to the logical inch, whatever the screen.
QRect rectOf(const player::Twips& twips) {
    const player::Pixels p = player::pixels(twips, 96);
    return {p.left, p.top, p.width, p.height};
}

Qt::Key qtKey(player::Key key) {
    switch (key) {
    case player::Key::F7:
        return Qt::Key_F7;
    case player::Key::F8:
        return Qt::Key_F8;
    case player::Key::F11:
        return Qt::Key_F11;
    case player::Key::F12:
        return Qt::Key_F12;
    }
    return Qt::Key_unknown;
}

// The first dropped local file, if the drop carries a file list at all.
QString firstDroppedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return {};
    const QList<QUrl> urls = mime->urls();
    return !urls.isEmpty() && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

} // namespace

Main::Main(MainOptions options) : m_options(std::move(options)) {
    if (!m_options.link)
        m_options.link = announce::makeIrcLink();
    // The picture is the one native child window; its siblings need none, and each one they
    // would get would slow the window's first showing.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    setWindowTitle(Main::kTitle);
    setAcceptDrops(true);
    buildControls();

    // The engine draws into the player area where the platform has native child windows. It
    // starts before the menus are built, so its video output comes up while they are.
    MpvEngine::Options engine{std::nullopt, coreText(m_options.vo), coreText(m_options.ao)};
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb" || platform == u"windows")
        engine.wid = static_cast<int64_t>(m_picture->winId());
    WindowsMediaPlayer1 = std::make_unique<MpvEngine>(engine);
    connectBar();
    player::View& view = *this;
    m_player = std::make_unique<Player>(*WindowsMediaPlayer1, view, *m_options.link);

    // The one timer: it runs only while an announcement waits for its delay.
    tmAnnounce = new QTimer(this);
    tmAnnounce->setSingleShot(true);
    connect(tmAnnounce, &QTimer::timeout, this, [this] { m_player->tmAnnounce_Timer(); });
    buildMenus();
    buildHotkeys();

    // A test's folder, like the build folder, keeps the files whatever it holds.
    const bool given = !m_options.programFolder.isEmpty();
    const QString folder = given ? m_options.programFolder : QCoreApplication::applicationDirPath();
    m_player->Form_Load(programPlaces(folder, given || isBuildFolder(folder)));
    placeWindow();
}

Main::~Main() {
    m_desktop.reset(); // it drives the player
    m_player.reset();
    // The engine's window lives inside the player area: it must go first.
    WindowsMediaPlayer1.reset();
}

void Main::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(rectOf(player::kForm.client).size());
    client->setStyleSheet(
        QStringLiteral("QLineEdit, QListView { color: #FFFFFF; background: #000000; }"));
    setCentralWidget(client);

    WindowsMediaPlayer1Area = new QWidget(client);
    WindowsMediaPlayer1Area->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    const QRect area = rectOf(player::kForm.WindowsMediaPlayer1);
    WindowsMediaPlayer1Area->setGeometry(area);
    m_picture = new QWidget(WindowsMediaPlayer1Area);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setGeometry(0, 0, area.width(), area.height() - ControlBar::kHeight);
    m_picture->setAttribute(Qt::WA_NativeWindow);
    m_picture->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_picture->setAutoFillBackground(true);
    QPalette black = m_picture->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_picture->setPalette(black);
    m_bar = new ControlBar(WindowsMediaPlayer1Area);
    m_bar->setGeometry(0, m_picture->height(), area.width(), ControlBar::kHeight);

    for (int i = 0; i < int(Text.size()); ++i) {
        auto* field = new QLineEdit(client);
        field->setObjectName(QStringLiteral("Text(%1)").arg(i));
        field->setGeometry(rectOf(player::kForm.Text[std::size_t(i)]));
        field->setReadOnly(true);
        field->setAcceptDrops(false); // a dropped file goes to the window, not into the text
        Text[i] = field;
    }

    Label1 = new QLabel(client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(rectOf(player::kForm.Label1));
    Label1->hide();

    List1 = new QListView(client);
    List1->setObjectName(QStringLiteral("List1"));
    m_listModel = new ListModel(List1);
    List1->setModel(m_listModel);
    List1->setGeometry(rectOf(player::kForm.List1));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setUniformItemSizes(true);
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QAbstractItemView::doubleClicked, this, [this] {
        const QModelIndexList selected = List1->selectionModel()->selectedIndexes();
        m_player->List1_DblClick(selected.isEmpty() ? -1 : selected.first().row());
    });
    connect(List1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { mnList->popup(List1->viewport()->mapToGlobal(pos)); });

    QWidget::setTabOrder(m_bar, Text[0]);
    for (int i = 0; i + 1 < int(Text.size()); ++i)
        QWidget::setTabOrder(Text[i], Text[i + 1]);
    QWidget::setTabOrder(Text[4], List1);
}

// The bar asks the player, as the menus and hotkeys do, and shows whatever the engine then does,
// whoever asked.
void Main::connectBar() {
    MpvEngine* engine = WindowsMediaPlayer1.get();
    auto show = [this] { m_bar->setState(WindowsMediaPlayer1->transport()); };
    connect(engine, &MpvEngine::transportChanged, m_bar, show);
    const std::pair<void (ControlBar::*)(), Command> buttons[] = {
        {&ControlBar::previousClicked, Command::Previous},
        {&ControlBar::playClicked, Command::Play},
        {&ControlBar::pauseClicked, Command::Pause},
        {&ControlBar::stopClicked, Command::Stop},
        {&ControlBar::nextClicked, Command::Next},
    };
    for (const auto& button : buttons) {
        const Command command = button.second;
        connect(m_bar, button.first, this, [this, command] { m_player->run(command); });
    }
    connect(m_bar, &ControlBar::seekRequested, engine, &MpvEngine::setPosition);
    connect(m_bar, &ControlBar::volumeRequested, engine, &MpvEngine::setVolume);
    connect(m_bar, &ControlBar::muteRequested, engine, &MpvEngine::setMuted);
    // Not read from the engine: it may be busy starting its video output.
    Transport start;
    start.volume = MpvEngine::kStartVolume;
    m_bar->setState(start);
}

// Each menu and item by its name; Exit closes the window, whose closing ends the player.
void Main::buildMenus() {
    for (const player::Menu& menu : player::menus()) {
        QMenu* built = menuBar()->addMenu(qtText(menu.caption));
        built->setObjectName(QLatin1String(menu.name));
        built->menuAction()->setObjectName(QLatin1String(menu.name));
        built->menuAction()->setVisible(menu.onBar);
        for (const player::MenuItem& item : menu.items) {
            if (!item.command) {
                built->addSeparator()->setObjectName(QLatin1String(item.name));
                continue;
            }
            QAction* action = built->addAction(qtText(item.caption));
            action->setObjectName(QLatin1String(item.name));
            action->setCheckable(item.mark.has_value());
            if (item.mark)
                m_marks[size_t(*item.mark)] = action;
            if (const Command command = *item.command; command == Command::Exit)
                connect(action, &QAction::triggered, this, &QWidget::close);
            else
                connect(action, &QAction::triggered, this,
                        [this, command] { m_player->run(command); });
        }
    }
    mnExit = findChild<QAction*>(QStringLiteral("mnExit"));
    mnList = findChild<QMenu*>(QStringLiteral("mnList"));
}

void Main::buildHotkeys() {
    for (const player::Hotkey& hotkey : player::hotkeys()) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(qtKey(hotkey.key)));
        action->setShortcutContext(Qt::WindowShortcut);
        const Command command = hotkey.command;
        connect(action, &QAction::triggered, this, [this, command] { m_player->run(command); });
        addAction(action);
    }
}

void Main::placeWindow() {
    const QRect client = rectOf(player::kForm.client);
    const int menuHeight = menuBar()->sizeHint().height();
    setFixedSize(client.width(), client.height() + menuHeight);
    move(client.topLeft() - QPoint(0, menuHeight));
}

void Main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (QWindow* window = windowHandle(); window && !m_desktop)
        window->installEventFilter(this);
}

// The desktop's media controls come once the window is on the screen. Their calls on the session
// bus can take long, and they read the engine, which waits while its video output starts: neither
// may hold up the window's first showing.
bool Main::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle() &&
        windowHandle()->isExposed() && !m_desktop) {
        watched->removeEventFilter(this);
        m_desktop = startDesktopControl(*m_player, {this, mnExit});
    }
    return QMainWindow::eventFilter(watched, event);
}

void Main::closeEvent(QCloseEvent* event) {
    m_player->Form_Unload();
    // The program ends with its window: a choice still open in the file dialog is dropped, and
    // the engine stops while the player area's native window, which holds its video output,
    // still exists (Qt destroys native windows as the close completes).
    dialogs::CloseOpen();
    WindowsMediaPlayer1->close();
    event->accept();
    QCoreApplication::quit();
}

void Main::fOpenFile(const QString& FileName) {
    m_player->fOpenFile(coreText(FileName));
}

// Any program on the session bus may hand files over: what can name no file is refused.
void Main::openNamed(const QStringList& files) {
    if (files.isEmpty())
        return;
    const QString& first = files.first();
    if (const auto file = player::firstHandedFile(
            {reinterpret_cast<const char16_t*>(first.utf16()), std::size_t(first.size())}))
        m_player->Form_OLEDragDrop(*file);
}

void Main::tellLater(const QString& text) {
    QTimer::singleShot(0, this, [this, text] { messageBox(coreText(text)); });
}

void Main::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void Main::dragMoveEvent(QDragMoveEvent* event) {
    if (!firstDroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Main::dropEvent(QDropEvent* event) {
    const QString file = firstDroppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    m_player->Form_OLEDragDrop(coreText(file));
}
