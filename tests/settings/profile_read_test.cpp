#include "settings/profile_file.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using profile::Charset;

namespace {

struct ReadCase {
    const char* behaviour;
    std::string text;
    std::string section;
    std::string key;
    std::string defaultValue;
    std::string expected;
    Charset charset = Charset::SingleByte;
};

const std::string kLong300 = std::string(100, 'a') + std::string(100, 'b') + std::string(100, 'c');
std::string repeated(std::string_view unit, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += unit;
    }
    return out;
}

const ReadCase kReadCases[] = {
    {"plain value", "[Tunelark]\r\nFormat=abc\r\n", "Tunelark", "Format", "d", "abc"},
    {"names ignore letter case", "[TUNELARK]\r\nformat=x\r\n", "Tunelark", "FORMAT", "d", "x"},
    {"spaced header matches", "[ Tunelark ]\r\nk=v\r\n", "Tunelark", "k", "d", "v"},
    {"blanks around key and value", "[T]\r\n \t k \v=\t v w \t\r\n", "T", "k", "d", "v w"},
    {"no inline comments", "[T]\r\nk=v ;x\r\n", "T", "k", "d", "v ;x"},
    {"comment line is no key", "[T]\r\n;k=v\r\n", "T", "k", "d", "d"},
    {"indented comment is no key", "[T]\r\n \t;k=v\r\n", "T", "k", "d", "d"},
    {"text after the bracket ignored", "[T] junk]\r\nk=v\r\n", "T", "k", "d", "v"},
    {"bracket line without close is an entry", "[T]\r\n[x\r\nk=v\r\n", "T", "k", "d", "v"},
    {"first equals sign splits", "[T]\r\nk=a=b\r\n", "T", "k", "d", "a=b"},
    {"double quotes removed", "[T]\r\nk= \"quoted\" \r\n", "T", "k", "d", "quoted"},
    {"single quotes removed", "[T]\r\nk='q'\r\n", "T", "k", "d", "q"},
    {"blanks inside quotes kept", "[T]\r\nk=\" q \"\r\n", "T", "k", "d", " q "},
    {"unmatched quotes kept", "[T]\r\nk=\"q'\r\n", "T", "k", "d", "\"q'"},
    {"lone quote kept", "[T]\r\nk=\"\r\n", "T", "k", "d", "\""},
    {"empty quotes give empty text", "[T]\r\nk=\"\"\r\n", "T", "k", "d", ""},
    {"first duplicate key wins", "[T]\r\nk=1\r\nk=2\r\n", "T", "k", "d", "1"},
    {"only first duplicate section counts", "[T]\r\na=1\r\n[T]\r\nk=2\r\n", "T", "k", "d", "d"},
    {"later section does not override", "[T]\r\nk=1\r\n[o]\r\n[t]\r\nk=2\r\n", "T", "k", "d", "1"},
    {"empty value is not the default", "[T]\r\nk=\r\n", "T", "k", "d", ""},
    {"blank value is empty", "[T]\r\nk= \t\r\n", "T", "k", "d", ""},
    {"missing key gives trimmed default", "[T]\r\na=1\r\n", "T", "k", "  def  ", "  def"},
    {"empty file gives default", "", "T", "k", "def", "def"},
    {"key of another section", "[mirc]\r\nk=v\r\n[T]\r\n", "T", "k", "d", "d"},
    {"key before any section", "k=v\r\n[T]\r\n", "T", "k", "d", "d"},
    {"entry without equals is no key", "[T]\r\nk\r\n", "T", "k", "d", "d"},
    {"LF line ends", "[x]\na=1\n[T]\nk=v\n", "T", "k", "d", "v"},
    {"CR line ends", "[x]\ra=1\r[T]\rk=v\r", "T", "k", "d", "v"},
    {"last line without line end", "[T]\r\nk=v", "T", "k", "d", "v"},
    {"argument spaces trimmed", "[T]\r\nk=v\r\n", " T ", " k ", "d", "v"},
    {"argument tabs are part of the name", "[T]\r\nk=v\r\n", "T", "\tk", "d", "d"},
    {"UTF-8 byte order mark skipped", "\xEF\xBB\xBF[T]\r\nk=v\r\n", "T", "k", "d", "v"},
    {"value ends at a NUL byte", "[T]\r\nk=ab\0cd\r\n"s, "T", "k", "d", "ab"},
    {"code page bytes pass through", "[T]\r\nk=\xF1\xEB\xF3\r\n", "T", "k", "d", "\xF1\xEB\xF3"},
    {"long value cut to 254", "[T]\r\nk=" + kLong300 + "\r\n", "T", "k", "d",
     kLong300.substr(0, 254)},
    {"254 bytes fit whole", "[T]\r\nk=" + kLong300.substr(0, 254), "T", "k", "d",
     kLong300.substr(0, 254)},
    {"long default cut to 254", "", "T", "k", kLong300, kLong300.substr(0, 254)},
    {"two-byte characters count as one", "[T]\r\nk=a" + repeated("ж", 300), "T", "k", "d",
     "a" + repeated("ж", 253), Charset::Utf8},
    {"three-byte characters count as one", "[T]\r\nk=" + repeated("€", 300), "T", "k", "d",
     repeated("€", 254), Charset::Utf8},
    {"four-byte characters count as one", "[T]\r\nk=a" + repeated("😀", 300), "T", "k", "d",
     "a" + repeated("😀", 253), Charset::Utf8},
    {"single-byte charset cuts at 254 bytes", "[T]\r\nk=a" + repeated("ж", 200), "T", "k", "d",
     ("a" + repeated("ж", 200)).substr(0, 254)},
    {"stray continuation bytes count one each", "[T]\r\nk=" + std::string(300, '\x80'), "T", "k",
     "d", std::string(254, '\x80'), Charset::Utf8},
    {"a broken sequence counts by the byte", "[T]\r\nk=" + std::string(252, 'x') + "\xE2\x82z€",
     "T", "k", "d", std::string(252, 'x') + "\xE2\x82", Charset::Utf8},
};

class ProfileRead : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, FollowsTheProfileRules) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(profile::readString(c.text, c.section, c.key, c.defaultValue,
                                  profile::kReadBufferSize, c.charset),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileRead, testing::ValuesIn(kReadCases),
                         testsupport::NameByWhat());

} // namespace
