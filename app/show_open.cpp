#include "app/show_open.h"

#include "playback/open_dialog.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QPointer>

namespace mOpenSave {
namespace {

QPointer<QFileDialog> open; // the dialog now up, if any

} // namespace

QString ShowOpen(const QString& filter, const QString& title, const QString& folder) {
    // Only one at a time: a second Open brings the first dialog forward.
    if (open) {
        open->raise();
        open->activateWindow();
        return {};
    }
    QFileDialog dialog(nullptr, title, folder, dialogFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowModality(Qt::NonModal);
    open = &dialog;
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    loop.exec();
    const QStringList chosen = dialog.selectedFiles();
    return dialog.result() == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString();
}

void CloseOpen() {
    if (open && open->isVisible())
        open->reject();
}

} // namespace mOpenSave
