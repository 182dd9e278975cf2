// HexChat's remote control on the session bus.
#pragma once
#include <QString>

namespace announce {

// HexChat's Command takes a command line without its leading "/": "/me x" becomes "me x", and
// plain text becomes "say x".
QString hexchatCommand(const QString& line);

// Runs the line in HexChat's focused tab: Connect, FindContext("", ""), SetContext, Command on
// the session bus named by $DBUS_SESSION_BUS_ADDRESS (or $XDG_RUNTIME_DIR/bus). Never starts
// HexChat or a bus; gives up within about 5 s. True when HexChat took the command.
bool sendToHexchat(const QString& line);

} // namespace announce
