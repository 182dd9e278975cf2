#include "announce/dde_client.h"
#include "announce/irc_link.h"

#include <QByteArray>
#include <QString>

#include <string>

namespace announce {

namespace {

// The IRC client over DDE: it runs each poked line as a typed command line.
class DdeIrcLink final : public IrcLink {
public:
    // "|" separates commands in a typed line, so a title holding it could run a second one.
    QString escapeValue(const QString& value) const override {
        QString escaped = value;
        escaped.replace(u'|', u'\u00A6');
        return escaped;
    }

    bool send(const QString& line) override {
        // The client reads CF_TEXT in the ANSI code page, which toLocal8Bit gives on Windows.
        const QByteArray ansi = line.toLocal8Bit();
        return client_.poke(std::string(ansi.constData(), static_cast<std::size_t>(ansi.size()))) ==
               DdePokeResult::Delivered;
    }

private:
    DdeClient client_;
};

} // namespace

std::unique_ptr<IrcLink> makeIrcLink() {
    return std::make_unique<DdeIrcLink>();
}

} // namespace announce
