// The link on Linux and other Unix systems: WeeChat's fifo first, then HexChat on the session bus.
#include "announce/hexchat_dbus_unix.h"
#include "announce/irc_link.h"
#include "announce/weechat_fifo_unix.h"

namespace announce {
namespace {

class UnixIrcLink final : public IrcLink {
public:
    // Neither client takes any character inside a line as a command separator, so values need
    // nothing beyond the format's own blanking of line breaks. A line longer than one IRC message
    // is still sent: HexChat splits it into several messages.
    bool send(const QString& line) override {
        // Looked up on every send: the user may start or restart a client at any time.
        if (!sendToWeechatFifo(line, WeechatPlaces::fromEnvironment()).isEmpty())
            return true;
        return sendToHexchat(line);
    }
};

} // namespace

std::unique_ptr<IrcLink> makeIrcLink() {
    return std::make_unique<UnixIrcLink>();
}

} // namespace announce
