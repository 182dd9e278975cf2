#include "settings/ini.h"

#include "settings/profile_file.h"

#include <QByteArray>
#include <QChar>

namespace mOpenSave {
namespace {

std::string toAnsi(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// Wide on Windows, so a folder outside the ANSI code page still works.
std::filesystem::path toPath(const QString& file) {
    return std::filesystem::path(file.toStdU16String());
}

// The 254-character limit was made for a single-byte code page, where a Russian letter is one
// byte. Where the local encoding is UTF-8, characters are counted instead of bytes, so a value
// keeps as many letters as it would there.
profile::Charset localCharset() {
    static const profile::Charset charset =
        QString(QChar(0x0416)).toLocal8Bit() == QByteArrayLiteral("\xD0\x96")
            ? profile::Charset::Utf8
            : profile::Charset::SingleByte;
    return charset;
}

} // namespace

QString ReadINI(const QString& file, const QString& section, const QString& key,
                const QString& defaultValue) {
    const std::string value =
        profile::readFileString(toPath(file), toAnsi(section), toAnsi(key), toAnsi(defaultValue),
                                profile::kReadBufferSize, localCharset());
    return QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size()));
}

void WriteINI(const QString& file, const QString& section, const QString& key, QString& value) {
    value.replace(QChar(u'\r'), QChar(u' '));
    value.replace(QChar(u'\n'), QChar(u' '));
    // Nothing to report: a refused write leaves the file as it was.
    profile::writeFileString(toPath(file), toAnsi(section), toAnsi(key), toAnsi(value));
}

} // namespace mOpenSave
