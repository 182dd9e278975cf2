#pragma once

// The player's own controls under the picture: position, previous, play/pause, stop, next,
// mute and volume. Widgets, so the keyboard and screen readers reach them. The bar only shows
// the engine's state and asks for changes; it keeps no timer, and is redrawn only when what it
// shows changes.

#include "qt/transport.h"

#include <QString>
#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

// The elapsed and total time as the bar writes them; a live stream has no total.
struct TimeTexts {
    QString elapsed;
    QString total;
};
TimeTexts timeTexts(const Transport& state);
// Whether the position slider takes a seek: a medium of known length that the engine can seek in.
bool canSeek(const Transport& state);

class ControlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 52;

    explicit ControlBar(QWidget* parent = nullptr);

    void setState(const Transport& state);

signals:
    void previousClicked();
    void playClicked();
    void pauseClicked();
    void stopClicked();
    void nextClicked();
    void seekRequested(double seconds);
    void volumeRequested(int volume);
    void muteRequested(bool on);

private:
    void buildTimes();
    void buildButtons();
    void buildVolume();
    void arrange();
    QToolButton* button(const char* id, const QString& name, const QString& tip);
    void seekToSlider();

    Transport m_state;
    QSlider* m_position = nullptr;
    QLabel* m_elapsed = nullptr;
    QLabel* m_total = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_play = nullptr;
    QToolButton* m_stop = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_mute = nullptr;
    QSlider* m_volume = nullptr;
};
