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
// The exchange runs on a thread of its own while the caller waits in an event loop, so the
// window keeps painting and answering meanwhile. A send made from inside that loop waits its
// turn (up to another 5 s for each one ahead of it); the caller's objects may go away during
// the wait, since nothing here refers to them.
bool sendToHexchat(const QString& line);

} // namespace announce
