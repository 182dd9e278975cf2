#include "qt/single_instance.h"

namespace {

// Without a way to reach another copy, each start is the first.
class AloneCopy final : public FirstCopy {
public:
    void onOpen(std::function<void(const QStringList&)>) override {}
    void onLine(std::function<QString()>) override {}
};

} // namespace

Claim claimFirstCopy(const QStringList&) {
    return {std::make_unique<AloneCopy>()};
}
