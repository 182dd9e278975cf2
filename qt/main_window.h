#pragma once

// The program's one window on Linux: the player area, the now-playing fields, the playlist and
// the menus. It shows what the player says and passes on what the user does; the behaviour is
// the player's.

#include "announce/irc_link.h"
#include "player/player.h"
#include "player/view.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class ControlBar;
class ListModel;
class DesktopControl;
class MpvEngine;
class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QTimer;

// What a test changes about the program's surroundings; the program itself uses the defaults.
struct MainOptions {
    QString programFolder;                   // empty: the executable's folder
    QString vo;                              // engine video output; empty: its own choice
    QString ao;                              // engine audio output
    std::unique_ptr<announce::IrcLink> link; // empty: this platform's IRC client link
};

class Main : public QMainWindow, private player::View {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("Tunelark");

    explicit Main(MainOptions options = {});
    ~Main() override;

    void fOpenFile(const QString& FileName);
    // Files named at start, or handed over by a later start: the first opens, as a drop does.
    void openNamed(const QStringList& files);
    // Says something of the program's own in its box, once the window is up.
    void tellLater(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setNowPlaying(const player::NowPlaying& now) override;
    void listReplaced(const player::ListRows& rows) override;
    void listAdded(const player::ListRows& rows, int first) override;
    void setListIndex(int row) override;
    void setChecked(settings::Flag flag, bool on) override;
    std::string showOpen(const std::string& filter, const std::string& title,
                         const std::string& folder) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& preset) override;
    void messageBox(const std::string& text) override;
    void setTimer(std::optional<int64_t> ms) override;

    void buildControls();
    void connectBar();
    void buildMenus();
    void buildHotkeys();
    void placeWindow();

    friend struct MainTestAccess; // the tests' view of the controls

    MainOptions m_options;

    // Controls, named as the window knows them.
    QWidget* WindowsMediaPlayer1Area = nullptr; // the picture above, the control bar below
    QWidget* m_picture = nullptr;               // the native window the engine draws into
    ControlBar* m_bar = nullptr;
    std::unique_ptr<MpvEngine> WindowsMediaPlayer1;
    std::array<QLineEdit*, 5> Text{};
    QListView* List1 = nullptr;
    ListModel* m_listModel = nullptr; // what List1 reads its rows from
    QLabel* Label1 = nullptr;
    QTimer* tmAnnounce = nullptr; // single-shot, armed only while an announcement waits

    QAction* mnExit = nullptr;
    QMenu* mnList = nullptr;           // the playlist's context menu
    std::array<QAction*, 4> m_marks{}; // the options' items, by settings::Flag

    std::unique_ptr<player::Player> m_player;
    std::unique_ptr<DesktopControl> m_desktop; // the desktop's media controls
};
