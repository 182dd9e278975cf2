#include "qt/main_window.h"

#include "player/handover.h"
#include "qt/control_bar.h"
#include "qt/desktop_control.h"
#include "qt/irc_link_linux.h"
#include "qt/mpv_engine.h"
#include "qt/program_places.h"
#include "qt/qt_text.h"
#include "qt/show_open.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWindow>

using player::Player;

namespace {

const QString kTitle = QStringLiteral("Tunelark");

// Places in pixels (the window's layout at 15 twips per pixel).
constexpr QRect kPlayerRect{0, 100, 439, 369};
constexpr QRect kListRect{440, 0, 253, 472};
constexpr QRect kLabelRect{482, 422, 157, 23};
constexpr int kFieldWidth = 441, kFieldHeight = 19, kFieldStep = 20;
constexpr QSize kClientSize{692, 471};
constexpr QPoint kClientPos{189, 214};

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
    setWindowTitle(kTitle);
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
    client->setFixedSize(kClientSize);
    client->setStyleSheet(
        QStringLiteral("QLineEdit, QListWidget { color: #FFFFFF; background: #000000; }"));
    setCentralWidget(client);

    WindowsMediaPlayer1Area = new QWidget(client);
    WindowsMediaPlayer1Area->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    WindowsMediaPlayer1Area->setGeometry(kPlayerRect);
    m_picture = new QWidget(WindowsMediaPlayer1Area);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setGeometry(0, 0, kPlayerRect.width(), kPlayerRect.height() - ControlBar::kHeight);
    m_picture->setAttribute(Qt::WA_NativeWindow);
    m_picture->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_picture->setAutoFillBackground(true);
    QPalette black = m_picture->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_picture->setPalette(black);
    m_bar = new ControlBar(WindowsMediaPlayer1Area);
    m_bar->setGeometry(0, m_picture->height(), kPlayerRect.width(), ControlBar::kHeight);

    for (int i = 0; i < int(Text.size()); ++i) {
        auto* field = new QLineEdit(client);
        field->setObjectName(QStringLiteral("Text(%1)").arg(i));
        field->setGeometry(0, i * kFieldStep, kFieldWidth, kFieldHeight);
        field->setReadOnly(true);
        field->setAcceptDrops(false); // a dropped file goes to the window, not into the text
        Text[i] = field;
    }

    Label1 = new QLabel(client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(kLabelRect);
    Label1->hide();

    List1 = new QListWidget(client);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(kListRect);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setUniformItemSizes(true);
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QListWidget::itemDoubleClicked, this, [this] {
        const QList<QListWidgetItem*> selected = List1->selectedItems();
        m_player->List1_DblClick(selected.isEmpty() ? -1 : List1->row(selected.first()));
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
    connect(m_bar, &ControlBar::previousClicked, this,
            [this] { m_player->hotkey(player::Hotkey::Previous); });
    connect(m_bar, &ControlBar::nextClicked, this,
            [this] { m_player->hotkey(player::Hotkey::Next); });
    connect(m_bar, &ControlBar::playClicked, this, [this] { m_player->mnPlay_Click(); });
    connect(m_bar, &ControlBar::pauseClicked, this, [this] { m_player->mnPause_Click(); });
    connect(m_bar, &ControlBar::stopClicked, this, [this] { m_player->mnStop_Click(); });
    connect(m_bar, &ControlBar::seekRequested, engine, &MpvEngine::setPosition);
    connect(m_bar, &ControlBar::volumeRequested, engine, &MpvEngine::setVolume);
    connect(m_bar, &ControlBar::muteRequested, engine, &MpvEngine::setMuted);
    // Not read from the engine: it may be busy starting its video output.
    Transport start;
    start.volume = MpvEngine::kStartVolume;
    m_bar->setState(start);
}

void Main::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       void (Player::*handler)(), bool checkable = false) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, [this, handler] { (*m_player.*handler)(); });
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    };
    auto menu = [this](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        return m;
    };

    mnFile = menu("mnFile", QStringLiteral("&Файл"));
    item(mnFile, "mnOpen", QStringLiteral("&Открыть"), &Player::mnOpen_Click);
    separator(mnFile, "mnR0");
    mnExit = mnFile->addAction(QStringLiteral("&Выход"), this, &QWidget::close);
    mnExit->setObjectName(QStringLiteral("mnExit"));

    mnPlaying = menu("mnPlaying", QStringLiteral("&Воспроизведение"));
    item(mnPlaying, "mnPlay", QStringLiteral("&Воспроизведение"), &Player::mnPlay_Click);
    item(mnPlaying, "mnPause", QStringLiteral("&Пауза"), &Player::mnPause_Click);
    item(mnPlaying, "mnStop", QStringLiteral("&Остановить"), &Player::mnStop_Click);
    separator(mnPlaying, "mnR1");
    using settings::Flag;
    m_marks[size_t(Flag::AutoStart)] = item(mnPlaying, "mnAutoStart", QStringLiteral("А&втостарт"),
                                            &Player::mnAutoStart_Click, true);
    m_marks[size_t(Flag::Random)] =
        item(mnPlaying, "mnRandom", QStringLiteral("&Случайно"), &Player::mnRandom_Click, true);
    m_marks[size_t(Flag::Repeat)] =
        item(mnPlaying, "mnRepeat", QStringLiteral("&Автоповтор"), &Player::mnRepeat_Click, true);

    mnSongName = menu("mnSongName", QStringLiteral("&Название песни"));
    item(mnSongName, "mnPrintSongName", QStringLiteral("&Написать"),
         &Player::mnPrintSongName_Click);
    item(mnSongName, "mnFormat", QStringLiteral("&Форма записи"), &Player::mnFormat_Click);
    separator(mnSongName, "mnR2");
    m_marks[size_t(Flag::AutoPrint)] =
        item(mnSongName, "mnAutoPrint", QStringLiteral("&Писать автоматически"),
             &Player::mnAutoPrint_Click, true);

    // Not on the menu bar: it is the playlist view's context menu.
    mnList = menu("mnList", QStringLiteral("&Меню списка"));
    mnList->menuAction()->setVisible(false);
    item(mnList, "mnClearList", QStringLiteral("&Очистить список"), &Player::mnClearList_Click);
}

void Main::buildHotkeys() {
    const std::pair<Qt::Key, player::Hotkey> keys[] = {
        {Qt::Key_F7, player::Hotkey::Previous},
        {Qt::Key_F8, player::Hotkey::Next},
        {Qt::Key_F11, player::Hotkey::VolumeDown},
        {Qt::Key_F12, player::Hotkey::VolumeUp},
    };
    for (const auto& [key, hotkey] : keys) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, hotkey] { m_player->hotkey(hotkey); });
        addAction(action);
    }
}

void Main::placeWindow() {
    const int menuHeight = menuBar()->sizeHint().height();
    setFixedSize(kClientSize.width(), kClientSize.height() + menuHeight);
    move(kClientPos - QPoint(0, menuHeight));
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

// What the player shows and asks

void Main::setText(int index, const std::string& text) {
    Text[std::size_t(index)]->setText(qtText(text));
}

void Main::setList(const std::vector<std::string>& names) {
    QStringList items;
    items.reserve(qsizetype(names.size()));
    for (const std::string& name : names)
        items << qtText(name);
    List1->clear();
    List1->addItems(items);
}

void Main::setListIndex(int row) {
    List1->setCurrentRow(row);
}

void Main::setChecked(settings::Flag flag, bool on) {
    m_marks[size_t(flag)]->setChecked(on);
}

std::string Main::showOpen(const std::string& filter, const std::string& title,
                           const std::string& folder) {
    return coreText(dialogs::ShowOpen(qtText(filter), qtText(title), qtText(folder)));
}

std::optional<std::string> Main::inputBox(const std::string& prompt, const std::string& title,
                                          const std::string& preset) {
    bool ok = false;
    const QString answer = QInputDialog::getText(this, qtText(title), qtText(prompt),
                                                 QLineEdit::Normal, qtText(preset), &ok);
    return ok ? std::optional(coreText(answer)) : std::nullopt;
}

void Main::messageBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, qtText(text), QMessageBox::Ok, this);
    box.exec();
}

void Main::setTimer(std::optional<int64_t> ms) {
    if (ms)
        tmAnnounce->start(int(*ms));
    else
        tmAnnounce->stop();
}
