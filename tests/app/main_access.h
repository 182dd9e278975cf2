#pragma once

// The tests' view of the window's private controls, and a link that records what it is handed.
#include "app/main_window.h"
#include "support/media.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTimer>

#include <memory>

struct MainTestAccess {
    static playback::MediaPlayer& player(Main& m) { return *m.WindowsMediaPlayer1; }
    static QWidget* playerArea(Main& m) { return m.WindowsMediaPlayer1Area; }
    static QLineEdit* text(Main& m, int i) { return m.Text[i]; }
    static QListWidget* list(Main& m) { return m.List1; }
    static QAction* action(Main& m, const char* name) {
        return m.findChild<QAction*>(QLatin1String(name));
    }
    static QMenu* menu(Main& m, const char* name) {
        return m.findChild<QMenu*>(QLatin1String(name));
    }
    static void unload(Main& m) { m.Form_Unload(); }
    static void dblClick(Main& m) { m.List1_DblClick(); }
    static void playState(Main& m, int state) { m.WindowsMediaPlayer1_PlayStateChange(state); }
    static void sendToMirc(Main& m, const QString& line) { m.SendToMirc(line); }
    static bool announcementWaits(Main& m) { return m.tmAnnounce->isActive(); }
};

namespace testsupport {

// Stands in for the IRC client: records each line and answers as told.
struct RecordingLink : announce::IrcLink {
    struct Log {
        QStringList lines;
        bool accept = true;
    };
    explicit RecordingLink(std::shared_ptr<Log> log) : log(std::move(log)) {}
    QString escapeValue(const QString& value) const override {
        QString v = value;
        return v.replace(u'|', QChar(0x00A6));
    }
    bool send(const QString& line) override {
        log->lines << line;
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
