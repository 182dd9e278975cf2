#include "settings/play_options.h"

#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace settings {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal number: sign, digits with one "." or "," mark, optional exponent.
std::optional<bool> parseNumberIsNonZero(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool anyDigit = false;
    bool nonZero = false;
    bool seenMark = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            anyDigit = true;
            nonZero = nonZero || text[i] != '0';
        } else if ((text[i] == '.' || text[i] == ',') && !seenMark) {
            seenMark = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t exponentStart = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == exponentStart)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return nonZero;
}

std::string_view withoutSpacesAndTabs(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// One key of the options' section. `read` takes the stored text (or the default) into the
// options; `text` is what is stored.
struct OptionKey {
    std::string_view name;
    std::string_view defaultText; // read when the key is missing; the format's is the caller's
    Stored stored;
    void (*read)(PlayOptions& options, const std::string& text);
    std::string (*text)(const PlayOptions& options);
};

template <bool PlayOptions::*flag>
OptionKey flagKey(std::string_view name, Stored stored = Stored::AtExit) {
    return {name, "False", stored,
            [](PlayOptions& o, const std::string& t) { o.*flag = parseBoolean(t).value_or(false); },
            [](const PlayOptions& o) { return booleanText(o.*flag); }};
}

const OptionKey kKeys[] = {
    flagKey<&PlayOptions::repeat>("Repeat"),
    flagKey<&PlayOptions::autoStart>("AutoStart"),
    flagKey<&PlayOptions::random>("Random"),
    flagKey<&PlayOptions::autoPrint>("AutoPrint"),
    {"Format",
     {},
     Stored::WhenEdited,
     [](PlayOptions& o, const std::string& t) { o.format = t; },
     [](const PlayOptions& o) { return o.format; }},
    {"AnnounceDelay", "0", Stored::Never,
     [](PlayOptions& o, const std::string& t) { o.announceDelayMs = delayMs(t); },
     [](const PlayOptions& o) { return std::to_string(double(o.announceDelayMs) / 1000); }},
    flagKey<&PlayOptions::jsonFile>("JsonFile", Stored::Never),
    flagKey<&PlayOptions::fieldFiles>("FieldFiles", Stored::Never),
    flagKey<&PlayOptions::clearOnStop>("ClearOnStop", Stored::Never),
    {"OverlayPort", "0", Stored::Never,
     [](PlayOptions& o, const std::string& t) { o.overlayPort = portNumber(t); },
     [](const PlayOptions& o) { return std::to_string(o.overlayPort); }},
};

} // namespace

bool& PlayOptions::operator[](Flag flag) {
    switch (flag) {
    case Flag::Repeat:
        return repeat;
    case Flag::AutoStart:
        return autoStart;
    case Flag::Random:
        return random;
    case Flag::AutoPrint:
        break;
    }
    return autoPrint;
}

bool PlayOptions::operator[](Flag flag) const {
    return const_cast<PlayOptions&>(*this)[flag];
}

std::string_view optionsSection() {
    return "Tunelark";
}

PlayOptions readOptions(const ReadValue& read, std::string_view defaultFormat) {
    PlayOptions options;
    for (const OptionKey& key : kKeys)
        key.read(options, read(std::string(key.name),
                               std::string(key.stored == Stored::WhenEdited ? defaultFormat
                                                                            : key.defaultText)));
    return options;
}

void storeOptions(PlayOptions& options, Stored when, const WriteValue& write) {
    for (const OptionKey& key : kKeys) {
        if (key.stored != when)
            continue;
        std::string value = key.text(options);
        write(std::string(key.name), value);
        key.read(options, value);
    }
}

std::optional<bool> parseBoolean(std::string_view text) {
    const std::string_view trimmed = withoutSpacesAndTabs(text);
    const std::string lower = text::lowerAscii(trimmed);
    if (lower == "true")
        return true;
    if (lower == "false")
        return false;
    return parseNumberIsNonZero(trimmed);
}

std::string booleanText(bool value) {
    return value ? "True" : "False";
}

int64_t delayMs(std::string_view seconds) {
    constexpr double kDay = 24 * 60 * 60;
    std::string number = text::trimmed(seconds);
    std::replace(number.begin(), number.end(), ',', '.');
    const char* first = number.data();
    const char* last = first + number.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last || !std::isfinite(value) || value <= 0)
        return 0;
    return int64_t(std::llround(std::min(value, kDay) * 1000));
}

int portNumber(std::string_view text) {
    const std::string number = text::trimmed(text);
    int port = 0;
    const char* last = number.data() + number.size();
    const auto [end, error] = std::from_chars(number.data(), last, port);
    if (error != std::errc() || end != last || port < 1 || port > 65535)
        return 0;
    return port;
}

} // namespace settings
