// WeeChat's fifo: a named pipe in WeeChat's runtime folder that runs each line written to it.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace announce {

// Where WeeChat may keep its fifo, taken from the environment so tests can point it elsewhere.
struct WeechatPlaces {
    QString weechatHome;   // $WEECHAT_HOME: one folder, or several separated by ':'
    QString home;          // $HOME
    QString xdgRuntimeDir; // $XDG_RUNTIME_DIR
    QString xdgCacheHome;  // $XDG_CACHE_HOME

    static WeechatPlaces fromEnvironment();
};

// The folders searched, in order, without duplicates.
QStringList weechatFifoDirs(const WeechatPlaces& places);

// Named pipes called "weechat_fifo_*" in those folders, in search order; plain files are left out.
QStringList weechatFifoCandidates(const WeechatPlaces& places);

// "*" + line + "\n" as UTF-8, in at most 4096 bytes so one write() stays atomic: a longer line is
// cut at a character boundary. Line breaks inside become blanks: one write, one command.
QByteArray weechatFifoCommand(const QString& line);

// Writes the line to the first fifo that takes it, without ever blocking: a pipe without a reader
// (left by a WeeChat that died) or a full one (a hung WeeChat) is passed over. Returns the fifo's
// path, or empty text when none took it.
QString sendToWeechatFifo(const QString& line, const WeechatPlaces& places);

} // namespace announce
