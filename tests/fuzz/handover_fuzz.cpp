// Fuzzes what a later start hands the running copy: any bytes, as the UTF-16 names any program
// may send. Input: the bytes, two to a unit, little end first.
// Invariants: a name is taken only when it could name a file, and then it is the first name
// exactly, in valid UTF-8, without a control character; anything else is refused.
#include "player/handover.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/text.h"

#include <algorithm>

namespace {

// Valid UTF-8 back to UTF-16, written here apart from the code under test.
std::u16string utf16Of(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? b : b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    const std::u16string_view first = std::u16string_view(units).substr(0, units.find(u'\0'));
    const auto taken = player::firstHandedFile(units);

    // The reference: what can name a file, unit by unit.
    bool nameable = !first.empty() && first.size() <= player::kMaxHandedName;
    for (std::size_t i = 0; nameable && i < first.size(); ++i) {
        const char16_t c = first[i];
        if (c < 0x20 || c == 0x7F || (c >= 0xDC00 && c < 0xE000))
            nameable = false;
        else if (c >= 0xD800 && c < 0xDC00)
            nameable =
                i + 1 < first.size() && first[i + 1] >= 0xDC00 && first[i + 1] < 0xE000 && ++i;
    }
    FUZZ_CHECK(taken.has_value() == nameable);
    if (!taken)
        return 0;
    FUZZ_CHECK(text::validUtf8(*taken) == *taken);
    FUZZ_CHECK(utf16Of(*taken) == first);
    FUZZ_CHECK(std::none_of(taken->begin(), taken->end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
    }));
    return 0;
}
