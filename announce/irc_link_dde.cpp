// The link on Windows: mIRC over DDE. This half is portable Qt code; the system half,
// makeMircSender(), takes the line as UTF-16.
#include "announce/irc_link.h"
#include "announce/mirc_dde.h"

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

    bool send(const QString& line) override { return send_(line.toStdWString()); }

private:
    MircSender send_ = makeMircSender();
};

} // namespace

std::unique_ptr<IrcLink> makeIrcLink() {
    return std::make_unique<DdeIrcLink>();
}

} // namespace announce
