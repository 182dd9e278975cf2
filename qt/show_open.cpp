#include "qt/show_open.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QPointer>

namespace dialogs {
namespace {

QPointer<QFileDialog> open; // the dialog now up, if any

} // namespace

QString dialogFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == u"*.*")
                p = QStringLiteral("*");
        }
        entries << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return entries.join(u";;");
}

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

} // namespace dialogs
