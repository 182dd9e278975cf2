#include "settings/options.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace settings {
namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A decimal number: sign, digits with one "." or "," mark, optional exponent.
std::optional<bool> parseNumberIsNonZero(QStringView text) {
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    bool anyDigit = false;
    bool nonZero = false;
    bool seenMark = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            anyDigit = true;
            nonZero = nonZero || text[i] != u'0';
        } else if ((text[i] == u'.' || text[i] == u',') && !seenMark) {
            seenMark = true;
        } else {
            break;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
            ++i;
        }
        const qsizetype exponentStart = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
        if (i == exponentStart) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    return nonZero;
}

} // namespace

std::optional<bool> parseBoolean(const QString& text) {
    QStringView trimmed(text);
    while (!trimmed.isEmpty() && (trimmed.front() == u' ' || trimmed.front() == u'\t')) {
        trimmed = trimmed.sliced(1);
    }
    while (!trimmed.isEmpty() && (trimmed.back() == u' ' || trimmed.back() == u'\t')) {
        trimmed.chop(1);
    }
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0) {
        return false;
    }
    return parseNumberIsNonZero(trimmed);
}

QString optionsSection() {
    return QStringLiteral("Tunelark");
}

QString formatKey() {
    return QStringLiteral("Format");
}

Options readOptions(const ReadValue& read, const QString& defaultFormat) {
    auto flag = [&](const char* key) {
        return parseBoolean(read(QLatin1String(key), QStringLiteral("False"))).value_or(false);
    };
    Options options;
    options.repeat = flag("Repeat");
    options.autoStart = flag("AutoStart");
    options.random = flag("Random");
    options.autoPrint = flag("AutoPrint");
    options.format = read(formatKey(), defaultFormat);
    options.announceDelayMs = delayMs(read(QStringLiteral("AnnounceDelay"), QStringLiteral("0")));
    options.jsonFile = flag("JsonFile");
    return options;
}

qint64 delayMs(const QString& seconds) {
    constexpr double kDay = 24 * 60 * 60;
    bool ok = false;
    const double value = QString(seconds).replace(u',', u'.').toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0)
        return 0;
    return qint64(std::llround(std::min(value, kDay) * 1000));
}

QList<std::pair<QString, QString>> optionsToStore(const Options& options) {
    return {{QStringLiteral("Repeat"), booleanText(options.repeat)},
            {QStringLiteral("AutoStart"), booleanText(options.autoStart)},
            {QStringLiteral("Random"), booleanText(options.random)},
            {QStringLiteral("AutoPrint"), booleanText(options.autoPrint)}};
}

QString booleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString folderWithSeparator(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith(u'/') || folder.endsWith(u'\\')) {
        return folder;
    }
    return folder + QDir::separator();
}

QString filesFolder(const QString& programFolder, bool programFolderWritable,
                    const QString& xdgConfigHome, const QString& home) {
    if (programFolderWritable)
        return folderWithSeparator(programFolder);
    QString config;
    if (QDir::isAbsolutePath(xdgConfigHome))
        config = folderWithSeparator(xdgConfigHome);
    else if (QDir::isAbsolutePath(home))
        config = folderWithSeparator(home) + QStringLiteral(".config/");
    else
        return folderWithSeparator(programFolder);
    return config + QStringLiteral("tunelark/");
}

} // namespace settings
