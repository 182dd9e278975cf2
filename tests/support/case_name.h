// Readable names for the cases of a table-driven test, made from the words that say what each
// case checks: "LF line ends" gives "LF_line_ends", which is what GoogleTest and CTest show.
#pragma once
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace testsupport {

// Letters and digits kept, every other run of characters one "_".
inline std::string caseName(std::string_view words) {
    std::string name;
    for (const char c : words) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name.empty() ? std::string("unnamed") : name;
}

// A name generator for INSTANTIATE_TEST_SUITE_P, for cases with a `what` or `behaviour` text.
struct NameByWhat {
    template <class Case> std::string operator()(const testing::TestParamInfo<Case>& info) const {
        if constexpr (requires { info.param.what; })
            return caseName(info.param.what);
        else
            return caseName(info.param.behaviour);
    }
};

} // namespace testsupport
