// Fuzzes the profile rules with arbitrary file bytes and an arbitrary section, key and value.
// Input: a mode byte, then the section, the key and the value (each led by its length), then
// a second section and key, and the file's bytes. Mode 0xFF makes the file 5 MiB of random
// bytes from a seed in the remaining input instead (at most every five seconds).
// Invariants: a write changes no byte outside the written line (one line replaced, or one added,
// with its section header and the line break before it where needed); a read of what was just
// written gives what a read of it alone in a file gives, and a plain value exactly; the write
// changes no other key's value; names that cannot be read back leave the text as it was.
#include "settings/profile_file.h"
#include "tests/fuzz/fuzz_input.h"

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using profile::Charset;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Lines with their breaks: CR LF, a lone LF or a lone CR ends one.
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string_view::npos)
            end = text.size();
        else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        lines.push_back(text.substr(begin, end - begin));
        begin = end;
    }
    return lines;
}

std::string_view argument(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    return name;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\v'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\v'))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// What the written line's value must be: one line, ending at a NUL as a C string does.
std::string storedValue(std::string_view value) {
    std::string stored(value.substr(0, value.find('\0')));
    for (char& c : stored)
        if (c == '\r' || c == '\n')
            c = ' ';
    return stored;
}

bool isEntryFor(std::string_view line, std::string_view key) {
    const std::string_view content = line.substr(0, line.find_first_of("\r\n"));
    const std::size_t equals = content.find('=');
    return equals != std::string_view::npos &&
           sameName(trimBlanks(content.substr(0, equals)), argument(key));
}

void checkOnlyTheWrittenLineChanged(std::string_view before, std::string_view after,
                                    std::string_view section, std::string_view key,
                                    std::string_view value) {
    if (before.starts_with(kBom)) {
        FUZZ_CHECK(after.starts_with(kBom));
        before.remove_prefix(kBom.size());
        after.remove_prefix(kBom.size());
    }
    const auto old = linesOf(before);
    const auto now = linesOf(after);
    std::size_t front = 0;
    while (front < old.size() && front < now.size() && old[front] == now[front])
        ++front;
    std::size_t back = 0;
    while (back < old.size() - front && back < now.size() - front &&
           old[old.size() - 1 - back] == now[now.size() - 1 - back])
        ++back;
    const std::vector<std::string_view> removed(old.begin() + long(front), old.end() - long(back));
    const std::vector<std::string_view> added(now.begin() + long(front), now.end() - long(back));

    FUZZ_CHECK(removed.size() <= 1);
    FUZZ_CHECK(!added.empty() && added.size() <= 3);
    // The written line comes last: name, "=", the value, CR LF.
    const std::string_view written = added.back();
    FUZZ_CHECK(written.ends_with("\r\n") && isEntryFor(written, key));
    const std::string_view content = written.substr(0, written.size() - 2);
    FUZZ_CHECK(content.substr(content.find('=') + 1) == storedValue(value));

    bool removedComesBack = false;
    for (std::size_t i = 0; i + 1 < added.size(); ++i) {
        const std::string_view line = added[i];
        const bool header = line.starts_with('[') && line.ends_with("]\r\n") &&
                            sameName(line.substr(1, line.size() - 4), argument(section));
        // A last line without a break gets one before the new line.
        const bool reended = removed.size() == 1 &&
                             removed[0].find_first_of("\r\n") == std::string_view::npos &&
                             line == std::string(removed[0]) + "\r\n";
        FUZZ_CHECK(header || reended);
        removedComesBack = removedComesBack || reended;
    }
    if (removed.size() == 1 && !removedComesBack)
        FUZZ_CHECK(isEntryFor(removed[0], key)); // the key's own old line
}

std::string randomBytes(std::string_view seedBytes, std::size_t size) {
    std::uint64_t seed = 0;
    std::memcpy(&seed, seedBytes.data(), std::min(seedBytes.size(), sizeof seed));
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, size - i));
    }
    return bytes;
}

// A 5 MiB file takes the fuzzer far longer than a small one, and each new one looks new to it:
// at most one every five seconds, so the small inputs keep most of the time.
bool bigFileDue() {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point last;
    static bool first = true;
    const Clock::time_point now = Clock::now();
    if (!first && now - last < std::chrono::seconds(5))
        return false;
    first = false;
    last = now;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.byte();
    const std::string_view section = input.text();
    const std::string_view key = input.text();
    const std::string_view value = input.text(2);
    const std::string_view otherSection = input.text();
    const std::string_view otherKey = input.text();
    const bool big = mode == 0xFF && bigFileDue();
    const std::string file = big ? randomBytes(input.rest(), 5 << 20) : std::string(input.rest());

    const std::string after = profile::writeString(file, section, key, value);
    if (!profile::isWritable(file, section, key)) {
        FUZZ_CHECK(after == file);
        return 0;
    }
    if (after != file)
        checkOnlyTheWrittenLineChanged(file, after, section, key, value);

    const std::string alone = profile::writeString("", section, key, value);
    if (big) {
        // The 5 MiB files only have to come through whole and in time: one read is enough.
        FUZZ_CHECK(profile::readString(after, section, key, "\x01") ==
                   profile::readString(alone, section, key, "\x01"));
        return 0;
    }
    for (const Charset charset : {Charset::SingleByte, Charset::Utf8}) {
        const auto read = [&](std::string_view text) {
            return profile::readString(text, section, key, "\x01", profile::kReadBufferSize,
                                       charset);
        };
        FUZZ_CHECK(read(after) == read(alone));
    }
    const std::string stored = storedValue(value);
    const bool plain = stored.size() < profile::kReadBufferSize && trimBlanks(stored) == stored &&
                       !(stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'') &&
                         stored.back() == stored.front());
    if (plain)
        FUZZ_CHECK(profile::readString(after, section, key, "\x01") == stored);

    if (!(sameName(argument(otherSection), argument(section)) &&
          sameName(argument(otherKey), argument(key)))) {
        const auto readOther = [&](std::string_view text) {
            return profile::readString(text, otherSection, otherKey, "\x01");
        };
        FUZZ_CHECK(readOther(after) == readOther(file));
    }
    return 0;
}
