#include "qt/single_instance.h"

#include <QDir>
#include <QUrl>

QStringList filesNamed(const QStringList& arguments, const QString& currentFolder) {
    QStringList files;
    const QDir here(currentFolder);
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        const QUrl url(argument, QUrl::StrictMode);
        if (url.isLocalFile())
            files << QDir::cleanPath(url.toLocalFile());
        else if (url.isValid() && url.scheme().size() > 1 && argument.contains(u"://"))
            files << argument; // a web address is the engine's to open, or refuse
        else
            files << QDir::cleanPath(here.absoluteFilePath(argument));
    }
    return files;
}
