// The settings file through ReadINI and WriteINI: texts in the system's code page, in a file
// shared with the IRC client.
#include "settings/code_page.h"
#include "settings/ini.h"

#include "support/case_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

using mOpenSave::ReadINI;
using mOpenSave::WriteINI;
using testsupport::bytesOf;
using testsupport::put;

namespace {

// A settings file as the IRC client leaves it: comments, blank lines, spacing, CRLF, and a nick
// in the system's own code page.
const std::string kMircIni = "; mIRC settings\r\n"
                             "[mirc]\r\n"
                             "user=Vasya\r\n"
                             "nick = " +
                             text::toAnsi("Вася") +
                             "\r\n"
                             "host=RusNetSERVER:irc.rus.net:6667GROUP:RusNet\r\n"
                             "\r\n"
                             "[text]\r\n"
                             "accept=*.bmp,*.gif,*.jpg,*.mp3,*.ogg,*.txt\r\n"
                             "ignore=*.exe,*.com,*.bat\r\n"
                             "\r\n"
                             "[options]\r\n"
                             "n0=1,1,0,1,0,0,300,0,0,0,1,0,0,0,0,0,1,0,0,0,4096,0,0,0,0,0,1,0\r\n"
                             ";n1=old\r\n"
                             "n2=0,0,0,0,0,1,0,0,0,0,0,0,0,0,1,0,1,0,0,0,0,0,0,0,0,1,1,0,0\r\n";

const std::string kSection = "Tunelark";

class Ini : public testing::Test {
protected:
    testsupport::TempDir temp;
    std::string ini = temp.file("mirc.ini");

    void writeKey(const std::string& key, std::string value) {
        WriteINI(ini, kSection, key, value);
    }
    std::string read(const std::string& key) { return ReadINI(ini, kSection, key, {}); }
};

std::string repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST_F(Ini, ForeignFileKeepsEveryByteButOurSection) {
    ASSERT_TRUE(put(text::pathOf(ini), kMircIni));
    const std::string format = "/me слушает !артист - !название [!время]";
    writeKey("Repeat", "True");
    writeKey("Format", format);
    writeKey("Repeat", "False");
    EXPECT_EQ(bytesOf(text::pathOf(ini)),
              kMircIni + "[Tunelark]\r\nRepeat=False\r\nFormat=" + text::toAnsi(format) + "\r\n");
    EXPECT_EQ(ReadINI(ini, "TUNELARK", "format", {}), format);
    EXPECT_EQ(read("Repeat"), "False");
    EXPECT_EQ(ReadINI(ini, "mirc", "nick", {}), "Вася");
}

TEST_F(Ini, MissingFileGivesDefaultWithoutTrailingSpaces) {
    EXPECT_EQ(ReadINI(ini, kSection, "Format", " a b  "), " a b");
    EXPECT_FALSE(std::filesystem::exists(text::pathOf(ini)));
}

TEST_F(Ini, LongValuesComeBackAsTheirFirst254Characters) {
    writeKey("Ascii", std::string(300, 'x'));
    writeKey("Cyrillic", "a" + repeated("ж", 300));
    EXPECT_EQ(read("Ascii"), std::string(254, 'x'));
    EXPECT_EQ(read("Cyrillic"), "a" + repeated("ж", 253));
}

// UTF-16LE with its mark, as a Windows editor may save the file; BMP text only.
std::string utf16(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        unsigned c = b;
        if (b >= 0xC0) {
            c = (b & 0x1F) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            ++i;
        }
        ++i;
        out += char(c & 0xFF);
        out += char(c >> 8);
    }
    return out;
}

// The client may keep its file in UTF-8 or in the code page: a value goes in the encoding the
// file already has, and reads back whole either way.
TEST_F(Ini, ValuesGoInTheFilesOwnEncoding) {
    const struct {
        const char* name;
        std::string before; // the file as the client left it; empty: no file
        std::string written;
    } cases[] = {
        {"new file: code page", "", text::toAnsi("Format=Кино")},
        {"ASCII: code page", "[mirc]\r\nnick=Vasya\r\n", text::toAnsi("Format=Кино")},
        {"code page", "[mirc]\r\nnick=" + text::toAnsi("Вася") + "\r\n",
         text::toAnsi("Format=Кино")},
        {"UTF-8", "[mirc]\r\nnick=Вася\r\n", "Format=Кино"},
        {"UTF-16", utf16("[mirc]\r\nnick=Вася\r\n"), utf16("Format=Кино\r\n").substr(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(text::pathOf(ini));
        if (!c.before.empty())
            put(text::pathOf(ini), c.before);
        writeKey("Format", "Кино");
        EXPECT_NE(bytesOf(text::pathOf(ini)).find(c.written), std::string::npos);
        EXPECT_EQ(bytesOf(text::pathOf(ini)).rfind(c.before, 0), 0u);
        EXPECT_EQ(read("Format"), "Кино");
    }
}

TEST_F(Ini, LineBreaksBecomeBlanksInFileAndCallerText) {
    const struct {
        std::string value;
        std::string cleaned;
    } cases[] = {
        {"a\r\nb", "a  b"},
        {"a\n\rb\r", "a  b "},
        {"a\nb", "a b"},
    };
    for (const auto& c : cases) {
        std::string value = c.value;
        WriteINI(ini, kSection, "Format", value);
        EXPECT_EQ(value, c.cleaned);
        EXPECT_EQ(bytesOf(text::pathOf(ini)), "[Tunelark]\r\nFormat=" + c.cleaned + "\r\n");
    }
}

// A settings file nobody would write by hand: reading gives the defaults, and a write either adds
// only our lines or leaves it exactly as it was. (Links to pipes and devices: posix_files_test.)
struct HostileCase {
    const char* what;
    std::string (*bytes)();
    bool written; // our line is added after every byte of it, else it stays as it was
};

std::string randomBytes() {
    std::string bytes(5 << 20, '\0');
    std::mt19937 random(std::random_device{}());
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t word = random();
        std::memcpy(bytes.data() + i, &word, 4);
    }
    bytes[0] = 'x'; // not a UTF-16 mark by chance
    return bytes;
}

// Not what the system's profile functions read either.
std::string utf16BigEndian() {
    std::string bytes = "\xFE\xFF";
    for (const char c : std::string_view("[Tunelark]\r\nRepeat=True\r\n"))
        bytes += {'\0', c};
    return bytes;
}

const HostileCase kHostileFiles[] = {
    {"five MiB of random bytes", randomBytes, true},
    {"UTF-16 big-endian with its byte order mark", utf16BigEndian, false},
};

class HostileSettingsFile : public Ini, public testing::WithParamInterface<HostileCase> {};

TEST_P(HostileSettingsFile, ReadsAsDefaultsAndLosesNoByte) {
    const HostileCase& c = GetParam();
    const std::string before = c.bytes();
    ASSERT_TRUE(put(text::pathOf(ini), before));
    writeKey("Repeat", "True");
    EXPECT_EQ(ReadINI(ini, kSection, "Random", "False"), "False");
    const std::string after = bytesOf(text::pathOf(ini));
    if (c.written) {
        EXPECT_TRUE(after.starts_with(before)) << "a byte of the file was lost";
        EXPECT_TRUE(after.ends_with("[Tunelark]\r\nRepeat=True\r\n"));
        EXPECT_LE(after.size() - before.size(), 28u);
    } else {
        EXPECT_EQ(after, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileSettingsFile, testing::ValuesIn(kHostileFiles),
                         testsupport::NameByWhat());

} // namespace
