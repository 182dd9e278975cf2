// What the window shows and asks for the player.
#include "qt/main_window.h"

#include "qt/list_model.h"
#include "qt/qt_text.h"
#include "qt/show_open.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTimer>

void Main::setNowPlaying(const player::NowPlaying& now) {
    const std::string* fields[] = {&now.source, &now.author, &now.title, &now.duration,
                                   &now.bitrate};
    for (std::size_t i = 0; i < Text.size(); ++i)
        Text[i]->setText(qtText(*fields[i]));
}

void Main::listReplaced(const player::ListRows& rows) {
    m_listModel->replaced(rows);
    setListIndex(rows.highlight());
}

void Main::listAdded(const player::ListRows& rows, int first) {
    m_listModel->added(rows, first);
}

// An invalid index, for -1, clears the highlight.
void Main::setListIndex(int row) {
    List1->setCurrentIndex(m_listModel->index(row));
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
    QMessageBox box(QMessageBox::NoIcon, Main::kTitle, qtText(text), QMessageBox::Ok, this);
    box.exec();
}

void Main::setTimer(std::optional<int64_t> ms) {
    if (ms)
        tmAnnounce->start(int(*ms));
    else
        tmAnnounce->stop();
}
