#pragma once

#include "announce/announce_delay.h"
#include "announce/irc_link.h"
#include "announce/now_playing.h"
#include "playback/media_player.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class DesktopControl;
class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QTimer;

// What a test changes about the program's surroundings; the program itself uses the defaults.
struct MainOptions {
    QString programFolder;                   // empty: the executable's folder
    QString vo;                              // engine video output; empty: its own choice
    QString ao;                              // engine audio output
    std::unique_ptr<announce::IrcLink> link; // empty: this platform's IRC client link
};

// The program's one window: the player, the now-playing fields, the playlist and the menus.
class Main : public QMainWindow {
    Q_OBJECT
public:
    explicit Main(MainOptions options = {});
    ~Main() override;

    void fOpenFile(const QString& FileName);

    QString FN;     // the song-name file
    QString fnJSON; // the same track as JSON, when the JsonFile option is on
    QString fnINI;  // the settings file
    QString Format; // the announcement format
    QString SL;     // the last announcement line built

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void Form_Load();
    void Form_Unload();
    void mnExit_Click();
    void mnOpen_Click();
    void Form_OLEDragDrop(const QString& firstFile);
    void List1_DblClick();
    void mnPlay_Click();
    void mnPause_Click();
    void mnStop_Click();
    void mnRepeat_Click();
    void mnRandom_Click();
    void mnAutoStart_Click();
    void mnClearList_Click();
    void WindowsMediaPlayer1_PlayStateChange(int NewState);
    void WindowsMediaPlayer1_StreamTitleChange();
    void WindowsMediaPlayer1_CurrentPlaylistChange();
    void mnAutoPrint_Click();
    void mnPrintSongName_Click();
    void mnFormat_Click();
    void tmAnnounce_Timer();

private:
    // A start of play, as the engine reported it.
    struct Start {
        announce::NowPlaying track;
        bool afterPause = false; // play went on straight from a pause
        QDateTime at;            // when the track started
    };

    void buildControls();
    void buildMenus();
    void buildHotkeys();
    void fillList1();
    void PrintSongName();
    void captureStarts();
    void announceTrack(const announce::NowPlaying& track);
    void announceIfDue();
    bool stepDelay(const announce::AnnounceDelay::Step& step);
    void writeJsonFile(bool paused);
    void SendToMirc(const QString& text);
    QString programFolder() const;

    friend struct MainTestAccess; // the tests' view of the controls

    MainOptions m_options;
    bool m_unloaded = false;
    std::optional<Start> m_nextStart; // a start not yet shown, with its details
    std::optional<Start> m_shown;     // the start the fields show
    int m_lastState = 0;              // the engine's last play state
    bool m_capturing = false;
    int m_boxesUp = 0; // "mIRC не найден!" boxes now open
    bool m_jsonFile = false;

    // The automatic announcement waits until the track has played the AnnounceDelay.
    announce::AnnounceDelay m_announceDelay;
    announce::NowPlaying m_toAnnounce; // the track it waits for
    bool m_announceDue = false;        // its time came while a box was up
    QElapsedTimer m_clock;
    QTimer* tmAnnounce = nullptr; // single-shot, armed only while a delay runs

    // Controls, named as the window knows them.
    QWidget* WindowsMediaPlayer1Area = nullptr;
    std::unique_ptr<playback::MediaPlayer> WindowsMediaPlayer1;
    std::array<QLineEdit*, 5> Text{};
    QListWidget* List1 = nullptr;
    QLabel* Label1 = nullptr;

    QMenu* mnFile = nullptr;
    QAction* mnOpen = nullptr;
    QAction* mnR0 = nullptr;
    QAction* mnExit = nullptr;
    QMenu* mnPlaying = nullptr;
    QAction* mnPlay = nullptr;
    QAction* mnPause = nullptr;
    QAction* mnStop = nullptr;
    QAction* mnR1 = nullptr;
    QAction* mnAutoStart = nullptr;
    QAction* mnRandom = nullptr;
    QAction* mnRepeat = nullptr;
    QMenu* mnSongName = nullptr;
    QAction* mnPrintSongName = nullptr;
    QAction* mnFormat = nullptr;
    QAction* mnR2 = nullptr;
    QAction* mnAutoPrint = nullptr;
    QMenu* mnList = nullptr;
    QAction* mnClearList = nullptr;

    std::unique_ptr<DesktopControl> m_desktop; // the desktop's media controls
};
