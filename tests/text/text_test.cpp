// Text at the core's edges: paths to and from UTF-8, whatever a name holds.
#include "text/text.h"

#include <gtest/gtest.h>

namespace {

constexpr bool kWindowsNames = sizeof(std::filesystem::path::value_type) == sizeof(char16_t);

struct PathCase {
    const char* name;
    std::string utf8;      // given
    std::string onWindows; // pathOf, then utf8Of: a Windows name must have UTF-16
    std::string elsewhere; // the same, where a name is any bytes
};

const PathCase kPaths[] = {
    {"Cyrillic", "C:/Музыка/песня.mp3", "C:/Музыка/песня.mp3", "C:/Музыка/песня.mp3"},
    {"OutsideTheBasicPlane", "\xF0\x9F\x8E\xB5.mp3", "\xF0\x9F\x8E\xB5.mp3",
     "\xF0\x9F\x8E\xB5.mp3"},
    {"InvalidBytes", "a\xFF\xC0\x80.mp3", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.mp3",
     "a\xFF\xC0\x80.mp3"},
    {"EncodedSurrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "\xED\xA0\x80"},
};

class Paths : public testing::TestWithParam<PathCase> {};

TEST_P(Paths, ComeBackWithoutThrowing) {
    const PathCase& c = GetParam();
    EXPECT_EQ(text::utf8Of(text::pathOf(c.utf8)), kWindowsNames ? c.onWindows : c.elsewhere);
}

INSTANTIATE_TEST_SUITE_P(Table, Paths, testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Utf16, LoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(text::utf8OfUtf16(u"\xD83C\xDFB5"), "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(text::utf8OfUtf16(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_EQ(text::utf8OfUtf16(std::u16string{char16_t(0xDBFF)}), "\xEF\xBF\xBD");
}

TEST(Utf16, Utf8BecomesUtf16WithInvalidBytesReplaced) {
    EXPECT_EQ(text::utf16Of("a\xD0\xAF\xF0\x9F\x8E\xB5"), std::u16string(u"a\u042F\xD83C\xDFB5"));
    EXPECT_EQ(text::utf16Of("\xFF\xED\xA0\x80z"), std::u16string(u"\uFFFD\uFFFD\uFFFD\uFFFDz"));
    EXPECT_EQ(text::utf16Of("\xE2\x82"), std::u16string(u"\uFFFD\uFFFD"));
}

// Only a Windows name can hold a lone surrogate.
TEST(Utf16, AWindowsNameWithALoneSurrogateStillHasUtf8) {
    if constexpr (kWindowsNames) {
        const std::filesystem::path name(std::wstring{L'a', wchar_t(0xDC00)});
        EXPECT_EQ(text::utf8Of(name), "a\xEF\xBF\xBD");
    } else {
        GTEST_SKIP() << "names here are bytes";
    }
}

} // namespace
