#include "app/main_window.h"

#include "announce/format.h"
#include "announce/irc_link.h"
#include "announce/song_file.h"
#include "app/desktop_control.h"
#include "app/show_open.h"
#include "settings/ini.h"
#include "settings/options.h"
#include "settings/replace_file.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
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

#include <utility>

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

announce::NowPlaying nowPlaying(const playback::MediaSnapshot& media) {
    return {media.author,      media.name,     media.durationString, media.bitrate, media.fileSize,
            media.sourceURL,   media.fileType, media.album,          media.year,    media.genre,
            media.trackNumber, media.station,  media.seconds};
}

// SongName.txt and SongName.json are ours alone: a read-only one is still rewritten.
bool writeOurFile(const QString& file, const QByteArray& bytes) {
    return settings::replaceFile(std::filesystem::path(file.toStdU16String()),
                                 std::string_view(bytes.constData(), std::size_t(bytes.size())),
                                 settings::ReadOnlyFile::Rewrite);
}

} // namespace

Main::Main(MainOptions options) : m_options(std::move(options)) {
    if (!m_options.link)
        m_options.link = announce::makeIrcLink();
    // The player area is the one native child window; its siblings need none, and each one
    // they would get would slow the window's first showing.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    setWindowTitle(kTitle);
    setAcceptDrops(true);
    buildControls();

    // The engine draws into the player area where the platform has native child windows. It
    // starts before the menus are built, so its video output comes up while they are.
    playback::EngineOptions engine{std::nullopt, m_options.vo, m_options.ao};
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb" || platform == u"windows")
        engine.wid = static_cast<qint64>(WindowsMediaPlayer1Area->winId());
    WindowsMediaPlayer1 = std::make_unique<playback::MediaPlayer>(engine);
    connect(WindowsMediaPlayer1.get(), &playback::MediaPlayer::PlayStateChange, this,
            &Main::WindowsMediaPlayer1_PlayStateChange);
    connect(WindowsMediaPlayer1.get(), &playback::MediaPlayer::CurrentPlaylistChange, this,
            &Main::WindowsMediaPlayer1_CurrentPlaylistChange);
    connect(WindowsMediaPlayer1.get(), &playback::MediaPlayer::StreamTitleChange, this,
            &Main::WindowsMediaPlayer1_StreamTitleChange);

    // The one timer: it runs only while an announcement waits for its delay.
    tmAnnounce = new QTimer(this);
    tmAnnounce->setSingleShot(true);
    connect(tmAnnounce, &QTimer::timeout, this, &Main::tmAnnounce_Timer);
    m_clock.start();
    buildMenus();
    buildHotkeys();

    Form_Load();
    // The desktop's media controls come once the window is up: their calls on the session bus
    // can take long, and need not hold up its first showing.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_desktop = startDesktopControl(*WindowsMediaPlayer1,
                                            {this, mnRepeat, mnRandom, mnExit,
                                             [this](const QString& file) { fOpenFile(file); }});
        },
        Qt::QueuedConnection);
}

Main::~Main() {
    m_desktop.reset(); // it drives the engine
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
    WindowsMediaPlayer1Area->setAttribute(Qt::WA_NativeWindow);
    WindowsMediaPlayer1Area->setAttribute(Qt::WA_DontCreateNativeAncestors);
    WindowsMediaPlayer1Area->setFocusPolicy(Qt::StrongFocus);
    WindowsMediaPlayer1Area->setAutoFillBackground(true);
    QPalette black = WindowsMediaPlayer1Area->palette();
    black.setColor(QPalette::Window, Qt::black);
    WindowsMediaPlayer1Area->setPalette(black);

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
    connect(List1, &QListWidget::itemDoubleClicked, this, &Main::List1_DblClick);
    connect(List1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { mnList->popup(List1->viewport()->mapToGlobal(pos)); });

    QWidget::setTabOrder(WindowsMediaPlayer1Area, Text[0]);
    for (int i = 0; i + 1 < int(Text.size()); ++i)
        QWidget::setTabOrder(Text[i], Text[i + 1]);
    QWidget::setTabOrder(Text[4], List1);
}

void Main::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       void (Main::*handler)(), bool checkable = false) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QLatin1String(name));
        return action;
    };
    auto menu = [this](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        return m;
    };

    mnFile = menu("mnFile", QStringLiteral("&Файл"));
    mnOpen = item(mnFile, "mnOpen", QStringLiteral("&Открыть"), &Main::mnOpen_Click);
    mnR0 = separator(mnFile, "mnR0");
    mnExit = item(mnFile, "mnExit", QStringLiteral("&Выход"), &Main::mnExit_Click);

    mnPlaying = menu("mnPlaying", QStringLiteral("&Воспроизведение"));
    mnPlay = item(mnPlaying, "mnPlay", QStringLiteral("&Воспроизведение"), &Main::mnPlay_Click);
    mnPause = item(mnPlaying, "mnPause", QStringLiteral("&Пауза"), &Main::mnPause_Click);
    mnStop = item(mnPlaying, "mnStop", QStringLiteral("&Остановить"), &Main::mnStop_Click);
    mnR1 = separator(mnPlaying, "mnR1");
    mnAutoStart = item(mnPlaying, "mnAutoStart", QStringLiteral("А&втостарт"),
                       &Main::mnAutoStart_Click, true);
    mnRandom =
        item(mnPlaying, "mnRandom", QStringLiteral("&Случайно"), &Main::mnRandom_Click, true);
    mnRepeat =
        item(mnPlaying, "mnRepeat", QStringLiteral("&Автоповтор"), &Main::mnRepeat_Click, true);

    mnSongName = menu("mnSongName", QStringLiteral("&Название песни"));
    mnPrintSongName = item(mnSongName, "mnPrintSongName", QStringLiteral("&Написать"),
                           &Main::mnPrintSongName_Click);
    mnFormat = item(mnSongName, "mnFormat", QStringLiteral("&Форма записи"), &Main::mnFormat_Click);
    mnR2 = separator(mnSongName, "mnR2");
    mnAutoPrint = item(mnSongName, "mnAutoPrint", QStringLiteral("&Писать автоматически"),
                       &Main::mnAutoPrint_Click, true);

    // Not on the menu bar: it is the playlist view's context menu.
    mnList = menu("mnList", QStringLiteral("&Меню списка"));
    mnList->menuAction()->setVisible(false);
    mnClearList =
        item(mnList, "mnClearList", QStringLiteral("&Очистить список"), &Main::mnClearList_Click);
}

void Main::buildHotkeys() {
    auto hotkey = [this](Qt::Key key, const char* name, auto handler) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    };
    hotkey(Qt::Key_F7, "hkPrevious", [this] { WindowsMediaPlayer1->controls.previous(); });
    hotkey(Qt::Key_F8, "hkNext", [this] { WindowsMediaPlayer1->controls.next(); });
    hotkey(Qt::Key_F11, "hkVolumeDown", [this] {
        auto& settings = WindowsMediaPlayer1->settings;
        settings.setVolume(settings.volume() - 4);
    });
    hotkey(Qt::Key_F12, "hkVolumeUp", [this] {
        auto& settings = WindowsMediaPlayer1->settings;
        settings.setVolume(settings.volume() + 4);
    });
}

QString Main::programFolder() const {
    const QString folder = m_options.programFolder.isEmpty()
                               ? QCoreApplication::applicationDirPath()
                               : m_options.programFolder;
    return settings::folderWithSeparator(folder);
}

// Startup and shutdown

void Main::Form_Load() {
    // Beside the program, as the IRC client's folder; where that cannot be written, the options
    // would never be saved, so they go to the user's own configuration folder instead.
    const QString program = programFolder();
    const QString files =
        settings::filesFolder(program, QFileInfo(program).isWritable(),
                              qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
    if (files != program)
        QDir().mkpath(files);
    fnINI = files + QStringLiteral("mirc.ini");
    const settings::Options stored = settings::readOptions(
        [this](const QString& key, const QString& defaultValue) {
            return mOpenSave::ReadINI(fnINI, settings::optionsSection(), key, defaultValue);
        },
        announce::defaultFormat());
    auto& player = WindowsMediaPlayer1->settings;
    mnRepeat->setChecked(stored.repeat);
    player.setMode(QStringLiteral("loop"), mnRepeat->isChecked());
    mnAutoStart->setChecked(stored.autoStart);
    player.setAutoStart(mnAutoStart->isChecked());
    mnRandom->setChecked(stored.random);
    player.setMode(QStringLiteral("shuffle"), mnRandom->isChecked());
    mnAutoPrint->setChecked(stored.autoPrint);
    Format = stored.format;
    FN = files + QStringLiteral("SongName.txt");
    m_announceDelay = announce::AnnounceDelay(stored.announceDelayMs);
    m_jsonFile = stored.jsonFile;
    fnJSON = files + QStringLiteral("SongName.json");

    const QSize frame(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
    setFixedSize(frame);
    move(kClientPos - QPoint(0, menuBar()->sizeHint().height()));
}

void Main::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    const settings::Options current{mnRepeat->isChecked(), mnAutoStart->isChecked(),
                                    mnRandom->isChecked(), mnAutoPrint->isChecked(), Format};
    for (auto [key, value] : settings::optionsToStore(current))
        mOpenSave::WriteINI(fnINI, settings::optionsSection(), key, value);
}

void Main::closeEvent(QCloseEvent* event) {
    Form_Unload();
    // The program ends with its window: a choice still open in the file dialog is dropped, and
    // the engine stops while the player area's native window, which holds its video output,
    // still exists (Qt destroys native windows as the close completes).
    mOpenSave::CloseOpen();
    WindowsMediaPlayer1->close();
    event->accept();
    QCoreApplication::quit();
}

void Main::mnExit_Click() {
    close();
}

// Playlist loading

void Main::fOpenFile(const QString& FileName) {
    auto& player = *WindowsMediaPlayer1;
    player.currentPlaylist.clear();
    List1->clear();
    player.setURL(FileName);
    fillList1();
}

void Main::fillList1() {
    const auto& playlist = WindowsMediaPlayer1->currentPlaylist;
    const int count = playlist.count();
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (const auto item = playlist.Item(i))
            names << item->name;
    }
    List1->addItems(names);
}

// The engine expanded a folder or a list it reached: show what it will play.
void Main::WindowsMediaPlayer1_CurrentPlaylistChange() {
    List1->clear();
    fillList1();
    List1->setCurrentRow(WindowsMediaPlayer1->currentPlaylist.currentIndex());
}

void Main::mnOpen_Click() {
    // Cancel keeps what is loaded.
    const QString file = mOpenSave::ShowOpen(QStringLiteral("Все файлы|*.*"),
                                             QStringLiteral("Открыть"), programFolder());
    if (!file.isEmpty() && !m_unloaded) // the window may have closed while the dialog was up
        fOpenFile(file);
}

void Main::dragEnterEvent(QDragEnterEvent* event) {
    if (!firstDroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
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
    Form_OLEDragDrop(file);
}

void Main::Form_OLEDragDrop(const QString& firstFile) {
    fOpenFile(firstFile);
}

void Main::List1_DblClick() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty())
        return;
    if (const auto item = WindowsMediaPlayer1->currentPlaylist.Item(List1->row(selected.first())))
        WindowsMediaPlayer1->controls.playItem(*item);
}

void Main::mnClearList_Click() {
    WindowsMediaPlayer1->currentPlaylist.clear();
    List1->clear();
}

// Transport and play options

void Main::mnPlay_Click() {
    WindowsMediaPlayer1->controls.play();
}

void Main::mnPause_Click() {
    WindowsMediaPlayer1->controls.pause();
}

void Main::mnStop_Click() {
    WindowsMediaPlayer1->controls.stop();
}

// Qt has already inverted the check mark when the handler runs.
void Main::mnRepeat_Click() {
    WindowsMediaPlayer1->settings.setMode(QStringLiteral("loop"), mnRepeat->isChecked());
}

void Main::mnRandom_Click() {
    WindowsMediaPlayer1->settings.setMode(QStringLiteral("shuffle"), mnRandom->isChecked());
}

void Main::mnAutoStart_Click() {
    WindowsMediaPlayer1->settings.setAutoStart(mnAutoStart->isChecked());
}

// Now playing

void Main::WindowsMediaPlayer1_PlayStateChange(int NewState) {
    const int before = std::exchange(m_lastState, NewState);
    if (NewState == playback::psPaused) {
        stepDelay(m_announceDelay.paused(m_clock.elapsed()));
        // The pause of the track shown: JSON readers see it paused.
        if (m_jsonFile && m_shown &&
            WindowsMediaPlayer1->currentMedia.sourceURL() == m_shown->track.sourceURL)
            writeJsonFile(true);
        return;
    }
    if (NewState != playback::psPlaying) {
        // Stopped, over or on its way to another: a waiting announcement is never made.
        m_announceDue = false;
        stepDelay(m_announceDelay.ended());
        return;
    }
    // The view shows which entry plays; a resume leaves the user's own choice alone.
    if (before != playback::psPaused)
        List1->setCurrentRow(WindowsMediaPlayer1->currentPlaylist.currentIndex());
    // The details as they were when this start happened, whenever it is handled.
    m_nextStart = Start{nowPlaying(WindowsMediaPlayer1->startedMedia()),
                        before == playback::psPaused, QDateTime::currentDateTime()};
    if (m_boxesUp == 0)
        captureStarts(); // otherwise when the box closes
}

// A web radio's title moved on: for the capture, a new track starts.
void Main::WindowsMediaPlayer1_StreamTitleChange() {
    m_nextStart =
        Start{nowPlaying(WindowsMediaPlayer1->startedMedia()), false, QDateTime::currentDateTime()};
    if (m_boxesUp == 0)
        captureStarts();
}

// Announces, shows and writes each start in turn. A start that comes while a "mIRC не найден!"
// box is up replaces any other waiting: only the latest is still playing, so only it is handled.
void Main::captureStarts() {
    if (m_capturing)
        return;
    m_capturing = true;
    while (m_nextStart) {
        Start start = *std::exchange(m_nextStart, std::nullopt);
        const announce::NowPlaying& track = start.track;
        if (track.sourceURL.isEmpty())
            continue; // over before it could be looked at; the fields keep what they show
        const bool resumed =
            start.afterPause && m_shown && announce::sameTrack(m_shown->track, track);
        if (resumed)
            start.at = m_shown->at;
        m_announceDue = false;
        if (!mnAutoPrint->isChecked()) {
            stepDelay(m_announceDelay.ended());
        } else {
            m_toAnnounce = track;
            if (stepDelay(m_announceDelay.started(m_clock.elapsed(), resumed)))
                announceTrack(track); // no delay: at once, as the track starts
        }
        if (m_nextStart)
            continue; // another track started while the box was up
        const QString fields[] = {track.sourceURL, track.author, track.name, track.durationString,
                                  track.bitrate};
        for (int i = 0; i < int(Text.size()); ++i)
            Text[i]->setText(fields[i]);
        writeOurFile(FN, announce::songFileBytes(track));
        m_shown = std::move(start);
        if (m_jsonFile)
            writeJsonFile(false);
    }
    m_capturing = false;
    announceIfDue();
}

void Main::writeJsonFile(bool paused) {
    writeOurFile(fnJSON, announce::songJsonBytes(m_shown->track, paused, m_shown->at));
}

// Arms or stops the delay's timer as the step says; whether to announce now.
bool Main::stepDelay(const announce::AnnounceDelay::Step& step) {
    if (step.wakeInMs)
        tmAnnounce->start(int(*step.wakeInMs));
    else
        tmAnnounce->stop();
    return step.announce;
}

void Main::tmAnnounce_Timer() {
    if (stepDelay(m_announceDelay.elapsed(m_clock.elapsed())))
        m_announceDue = true;
    announceIfDue();
}

// The waiting track has played its delay: tell it, unless a box is up; then when it closes.
void Main::announceIfDue() {
    if (!m_announceDue || m_boxesUp > 0 || m_capturing)
        return;
    m_announceDue = false;
    if (mnAutoPrint->isChecked())
        announceTrack(m_toAnnounce);
    captureStarts(); // a track that started while its box was up
}

// The mark is the option; Qt has inverted it, and nothing else happens now.
void Main::mnAutoPrint_Click() {}

void Main::mnPrintSongName_Click() {
    PrintSongName();
    captureStarts(); // a track that started while its box was up
}

void Main::PrintSongName() {
    const announce::NowPlaying track = nowPlaying(WindowsMediaPlayer1->currentMedia.snapshot());
    announceTrack(track);
    // Told by hand: its automatic announcement would only say it again.
    if (!track.sourceURL.isEmpty() && announce::sameTrack(track, m_toAnnounce))
        stepDelay(m_announceDelay.told());
}

void Main::announceTrack(const announce::NowPlaying& track) {
    if (track.sourceURL.isEmpty())
        return; // nothing loaded, nothing to tell
    SL = announce::buildLine(Format, track, *m_options.link);
    SendToMirc(SL);
}

void Main::SendToMirc(const QString& text) {
    if (m_options.link->send(text))
        return;
    QMessageBox box(QMessageBox::NoIcon, kTitle, QStringLiteral("mIRC не найден!"), QMessageBox::Ok,
                    this);
    ++m_boxesUp;
    box.exec();
    --m_boxesUp;
}

void Main::mnFormat_Click() {
    bool ok = false;
    QString answer = QInputDialog::getText(this, QStringLiteral("Tunelark - Запрос"),
                                           QStringLiteral("Введите новый формат:"),
                                           QLineEdit::Normal, Format, &ok);
    if (!ok || answer.isEmpty())
        return;
    mOpenSave::WriteINI(fnINI, settings::optionsSection(), settings::formatKey(), answer);
    Format = answer;
}
