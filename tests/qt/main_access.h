#pragma once

// The tests' view of the window's private controls, a tap on what the engine reports, and a link
// that records what it is handed.
#include "qt/control_bar.h"
#include "qt/main_window.h"
#include "qt/mpv_engine.h"
#include "support/media.h"

#include "playback/play_state.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

struct MainTestAccess {
    static MpvEngine& engine(Main& m) { return *m.WindowsMediaPlayer1; }
    static player::Player& player(Main& m) { return *m.m_player; }
    static QWidget* playerArea(Main& m) { return m.WindowsMediaPlayer1Area; }
    static QWidget* picture(Main& m) { return m.m_picture; }
    static QWidget* bar(Main& m) { return m.m_bar; }
    static QLineEdit* text(Main& m, int i) { return m.Text[i]; }
    static QListView* list(Main& m) { return m.List1; }
    static QStringList rows(Main& m) {
        QStringList names;
        for (int i = 0; i < m.List1->model()->rowCount(); ++i)
            names << m.List1->model()->index(i, 0).data().toString();
        return names;
    }
    static int row(Main& m) { return m.List1->currentIndex().row(); }
    static void setRow(Main& m, int row) {
        m.List1->setCurrentIndex(m.List1->model()->index(row, 0));
    }
    static QAction* action(Main& m, const char* name) {
        return m.findChild<QAction*>(QLatin1String(name));
    }
    static QMenu* menu(Main& m, const char* name) {
        return m.findChild<QMenu*>(QLatin1String(name));
    }
    static void dblClick(Main& m) { emit m.List1->doubleClicked(m.List1->currentIndex()); }
    static void messageBox(Main& m, const std::string& text) { m.messageBox(text); }
    static bool announcementWaits(Main& m) { return m.tmAnnounce->isActive(); }
};

namespace testsupport {

// Sees what the engine reports after the player has handled it, as long as it lives.
class EngineTap : public player::EngineListener {
public:
    explicit EngineTap(MpvEngine& engine) : m_engine(engine), m_next(engine.listener()) {
        engine.setListener(this);
    }
    ~EngineTap() override { m_engine.setListener(m_next); }

    std::vector<playback::PlayState> states;
    QStringList started;                         // the base name of each entry as it starts playing
    std::function<void(playback::PlayState)> on; // each state, once recorded

    int count(playback::PlayState state) const {
        return int(std::count(states.begin(), states.end(), state));
    }
    bool waitFor(playback::PlayState state, int times = 1, int timeoutMs = 15000) const {
        return waitUntil([&] { return count(state) >= times; }, timeoutMs);
    }

private:
    void playStateChanged(playback::PlayState state, const playback::Track& item) override {
        if (m_next)
            m_next->playStateChanged(state, item);
        states.push_back(state);
        if (state == playback::PlayState::Playing)
            started << QFileInfo(QString::fromStdString(item.sourceURL)).completeBaseName();
        if (on)
            on(state);
    }
    void titleChanged(const playback::Track& item) override {
        if (m_next)
            m_next->titleChanged(item);
    }
    void playlistChanged() override {
        if (m_next)
            m_next->playlistChanged();
    }
    void volumeChanged(int volume) override {
        if (m_next)
            m_next->volumeChanged(volume);
    }
    void seeked(double position) override {
        if (m_next)
            m_next->seeked(position);
    }

    MpvEngine& m_engine;
    player::EngineListener* m_next;
};

// Stands in for the IRC client: records each line and answers as told.
struct RecordingLink : announce::IrcLink {
    struct Log {
        QStringList lines;
        bool accept = true;
    };
    explicit RecordingLink(std::shared_ptr<Log> log) : log(std::move(log)) {}
    std::string escapeValue(const std::string& value) const override {
        return announce::escapeCommandSeparator(value);
    }
    bool send(const std::string& line) override {
        log->lines << QString::fromStdString(line);
        return log->accept;
    }
    std::shared_ptr<Log> log;
};

// The window beside folder, headless (no video, no sound device), talking to a recording link.
inline std::unique_ptr<Main>
headlessMain(const QString& folder,
             std::shared_ptr<RecordingLink::Log> log = std::make_shared<RecordingLink::Log>()) {
    MainOptions options;
    options.programFolder = folder;
    options.vo = options.ao = QStringLiteral("null");
    options.link = std::make_unique<RecordingLink>(std::move(log));
    return std::make_unique<Main>(std::move(options));
}

// The window on the real display (X11 video, no sound device), talking to a recording link.
inline MainOptions onScreenOptions(const QString& folder) {
    MainOptions options;
    options.programFolder = folder;
    options.vo = QStringLiteral("x11");
    options.ao = QStringLiteral("null");
    options.link = std::make_unique<RecordingLink>(std::make_shared<RecordingLink::Log>());
    return options;
}

// What the screen shows where the widget is.
inline QImage grabScreen(QWidget* w) {
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), w->width(), w->height())
        .toImage();
}

// How many colours a sample of the image has: the test picture has many, an empty player one
// or two.
inline int colours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

// Answers every modal box that opens from now on (OK / Cancel), recording its text.
class ModalAnswerer : public QObject {
public:
    QStringList seen;
    QString typeIn; // for input boxes: the text to enter before OK; empty means Cancel
    explicit ModalAnswerer(QObject* parent = nullptr) : QObject(parent) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { answer(); });
        timer->start(20);
    }

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last.data())
            return;
        m_last = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->windowTitle() + u'|' + box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            seen << dialog->windowTitle();
            if (auto* edit = dialog->findChild<QLineEdit*>(); edit && !typeIn.isEmpty()) {
                edit->setText(typeIn);
                dialog->accept();
            } else {
                dialog->reject();
            }
        }
    }
    QPointer<QWidget> m_last;
};

} // namespace testsupport
