#include "qt/control_bar.h"

#include "playback/track.h"
#include "qt/qt_text.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <cmath>
#include <utility>

namespace {

enum class Glyph { Previous, Play, Pause, Stop, Next, Sound, Muted };

const QColor kLight(0xE0, 0xE0, 0xE0);

void drawTriangle(QPainter& p, qreal left, qreal right) {
    QPainterPath path;
    path.moveTo(left, 6);
    path.lineTo(right, 16);
    path.lineTo(left, 26);
    path.closeSubpath();
    p.drawPath(path);
}

// The speaker, with its waves, or crossed out.
void drawSpeaker(QPainter& p, bool muted) {
    QPainterPath speaker;
    speaker.moveTo(4, 12);
    speaker.lineTo(10, 12);
    speaker.lineTo(17, 5);
    speaker.lineTo(17, 27);
    speaker.lineTo(10, 20);
    speaker.lineTo(4, 20);
    speaker.closeSubpath();
    p.drawPath(speaker);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kLight, 2.5, Qt::SolidLine, Qt::RoundCap));
    if (!muted) {
        p.drawArc(QRectF(12, 10, 10, 12), -50 * 16, 100 * 16);
        p.drawArc(QRectF(12, 5, 16, 22), -50 * 16, 100 * 16);
    } else {
        p.drawLine(QPointF(21, 11), QPointF(29, 21));
        p.drawLine(QPointF(29, 11), QPointF(21, 21));
    }
}

// Drawn here in the bar's own light colour: the style's media icons are dark, for light bars.
QIcon glyph(Glyph g) {
    constexpr int kSide = 32;
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kLight);
    switch (g) {
    case Glyph::Previous:
        p.drawRect(QRectF(6, 6, 4, 20));
        p.translate(kSide, 0);
        p.scale(-1, 1);
        drawTriangle(p, 6, 22);
        break;
    case Glyph::Play:
        drawTriangle(p, 8, 26);
        break;
    case Glyph::Pause:
        p.drawRect(QRectF(8, 6, 6, 20));
        p.drawRect(QRectF(18, 6, 6, 20));
        break;
    case Glyph::Stop:
        p.drawRect(QRectF(8, 8, 16, 16));
        break;
    case Glyph::Next:
        drawTriangle(p, 6, 22);
        p.drawRect(QRectF(22, 6, 4, 20));
        break;
    case Glyph::Sound:
    case Glyph::Muted:
        drawSpeaker(p, g == Glyph::Muted);
        break;
    }
    return QIcon(pixmap);
}

bool playing(const Transport& s) {
    return s.loaded && !s.paused;
}

} // namespace

TimeTexts timeTexts(const Transport& state) {
    const double elapsed = state.loaded ? state.position : 0;
    return {qtText(playback::durationText(elapsed)),
            state.loaded ? qtText(playback::durationText(state.duration)) : QString()};
}

namespace {

QString spokenTime(const QString& name, const QString& time) {
    return time.isEmpty() ? name : name + u' ' + time;
}

} // namespace

bool canSeek(const Transport& state) {
    return state.loaded && state.seekable && state.duration.has_value();
}

ControlBar::ControlBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ControlBar"));
    setAccessibleName(QStringLiteral("Управление проигрывателем"));
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
    dark.setColor(QPalette::Button, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::ButtonText, QColor(0xE0, 0xE0, 0xE0));
    setPalette(dark);
    // The window's style sheet would give the labels its dark text; the bar's own wins.
    setStyleSheet(QStringLiteral("QLabel { color: #E0E0E0; }"));

    buildTimes();
    buildButtons();
    buildVolume();
    arrange();
}

// The times either side of the position slider.
void ControlBar::buildTimes() {
    m_elapsed = new QLabel(this);
    m_elapsed->setObjectName(QStringLiteral("elapsed"));
    m_elapsed->setAccessibleName(QStringLiteral("Прошло"));
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("total"));
    m_total->setAccessibleName(QStringLiteral("Длительность"));
    m_total->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* label : {m_elapsed, m_total})
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")));

    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->setAccessibleName(QStringLiteral("Позиция"));
    m_position->setToolTip(QStringLiteral("Позиция в записи"));
    m_position->setFocusPolicy(Qt::StrongFocus);
    m_position->setSingleStep(5);
    m_position->setPageStep(30);
    m_position->setEnabled(false);
    // A drag seeks once, where it is let go; a click, a key or a screen reader setting the value
    // seeks at once. The engine's own moves of the slider are made with its signals blocked.
    connect(m_position, &QSlider::sliderReleased, this, &ControlBar::seekToSlider);
    connect(m_position, &QSlider::valueChanged, this, [this] {
        if (!m_position->isSliderDown())
            seekToSlider();
    });
}

void ControlBar::buildButtons() {
    m_previous =
        button("previous", QStringLiteral("Предыдущая"), QStringLiteral("Предыдущая запись (F7)"));
    m_previous->setIcon(glyph(Glyph::Previous));
    m_play = button("play", QStringLiteral("Воспроизведение"), QStringLiteral("Воспроизведение"));
    m_play->setIcon(glyph(Glyph::Play));
    m_stop = button("stop", QStringLiteral("Остановить"), QStringLiteral("Остановить"));
    m_stop->setIcon(glyph(Glyph::Stop));
    m_next = button("next", QStringLiteral("Следующая"), QStringLiteral("Следующая запись (F8)"));
    m_next->setIcon(glyph(Glyph::Next));
    m_mute = button("mute", QStringLiteral("Без звука"), QStringLiteral("Выключить звук"));
    m_mute->setIcon(glyph(Glyph::Sound));
    m_mute->setCheckable(true);
    connect(m_previous, &QToolButton::clicked, this, &ControlBar::previousClicked);
    connect(m_play, &QToolButton::clicked, this, [this] {
        if (playing(m_state))
            emit pauseClicked();
        else
            emit playClicked();
    });
    connect(m_stop, &QToolButton::clicked, this, &ControlBar::stopClicked);
    connect(m_next, &QToolButton::clicked, this, &ControlBar::nextClicked);
    connect(m_mute, &QToolButton::clicked, this, &ControlBar::muteRequested);
}

void ControlBar::buildVolume() {
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setAccessibleName(QStringLiteral("Громкость"));
    m_volume->setToolTip(QStringLiteral("Громкость (F11, F12)"));
    m_volume->setFocusPolicy(Qt::StrongFocus);
    m_volume->setRange(0, 100);
    m_volume->setSingleStep(4); // as the hotkeys step it
    m_volume->setPageStep(10);
    m_volume->setFixedWidth(100);
    connect(m_volume, &QSlider::valueChanged, this, &ControlBar::volumeRequested);
}

// Two rows: the times and the position; the buttons, then mute and volume at the right.
void ControlBar::arrange() {
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 2, 6, 2);
    rows->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(m_elapsed);
    top->addWidget(m_position, 1);
    top->addWidget(m_total);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(2);
    for (QToolButton* b : {m_previous, m_play, m_stop, m_next})
        bottom->addWidget(b);
    bottom->addStretch(1);
    bottom->addWidget(m_mute);
    bottom->addWidget(m_volume);
    rows->addLayout(top);
    rows->addLayout(bottom);

    setTabOrder(m_position, m_previous);
    setTabOrder(m_previous, m_play);
    setTabOrder(m_play, m_stop);
    setTabOrder(m_stop, m_next);
    setTabOrder(m_next, m_mute);
    setTabOrder(m_mute, m_volume);
}

QToolButton* ControlBar::button(const char* id, const QString& name, const QString& tip) {
    auto* b = new QToolButton(this);
    b->setObjectName(QLatin1String(id));
    b->setAccessibleName(name);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoRaise(true);
    b->setIconSize(QSize(16, 16));
    return b;
}

void ControlBar::seekToSlider() {
    if (canSeek(m_state))
        emit seekRequested(m_position->sliderPosition());
}

// Each widget is touched only when what it shows changes, so a second of play repaints the time
// and the slider, and nothing else.
void ControlBar::setState(const Transport& state) {
    const Transport was = std::exchange(m_state, state);
    const TimeTexts times = timeTexts(state);
    // A screen reader reads a label by its name: the name carries the time with it.
    if (m_elapsed->text() != times.elapsed) {
        m_elapsed->setText(times.elapsed);
        m_elapsed->setAccessibleName(spokenTime(QStringLiteral("Прошло"), times.elapsed));
    }
    if (m_total->text() != times.total) {
        m_total->setText(times.total);
        m_total->setAccessibleName(spokenTime(QStringLiteral("Длительность"), times.total));
    }

    const bool seekable = canSeek(state);
    m_position->setEnabled(seekable);
    const int length = seekable ? int(std::ceil(*state.duration)) : 0;
    const QSignalBlocker quiet(m_position); // a shorter length moves the value too
    if (m_position->maximum() != length)
        m_position->setMaximum(length);
    if (!m_position->isSliderDown())
        m_position->setValue(seekable ? int(state.position) : 0);

    if (playing(state) != playing(was)) {
        const QString name =
            playing(state) ? QStringLiteral("Пауза") : QStringLiteral("Воспроизведение");
        m_play->setAccessibleName(name);
        m_play->setToolTip(name);
        m_play->setIcon(glyph(playing(state) ? Glyph::Pause : Glyph::Play));
    }
    if (m_volume->value() != state.volume && !m_volume->isSliderDown()) {
        const QSignalBlocker quiet(m_volume);
        m_volume->setValue(state.volume);
    }
    if (state.muted != was.muted) {
        m_mute->setChecked(state.muted);
        m_mute->setIcon(glyph(state.muted ? Glyph::Muted : Glyph::Sound));
        m_mute->setToolTip(state.muted ? QStringLiteral("Включить звук")
                                       : QStringLiteral("Выключить звук"));
    }
}
