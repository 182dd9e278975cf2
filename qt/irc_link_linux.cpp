#include "qt/irc_link_linux.h"

#include "qt/hexchat_dbus.h"
#include "qt/qt_text.h"
#include "qt/weechat_fifo.h"

namespace announce {
namespace {

class UnixIrcLink final : public IrcLink {
public:
    // Neither client takes any character inside a line as a command separator, so values need
    // nothing beyond the format's own blanking of control characters. A line longer than one IRC
    // message is still sent: HexChat splits it into several messages.
    bool send(const std::string& line) override {
        const QString text = qtText(line);
        // Looked up on every send: the user may start or restart a client at any time.
        if (!sendToWeechatFifo(text, WeechatPlaces::fromEnvironment()).isEmpty())
            return true;
        return sendToHexchat(text);
    }
    std::string missingText() const override { return "WeeChat и HexChat не найдены!"; }
};

} // namespace

std::unique_ptr<IrcLink> makeIrcLink() {
    return std::make_unique<UnixIrcLink>();
}

} // namespace announce
