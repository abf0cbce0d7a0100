#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace qelt::test {

// A case's label as a GoogleTest parameter name, which may hold only ASCII letters, digits and
// underscores: the label's words run together, each starting with a capital ("trailing tab"
// reads "TrailingTab"). GoogleTest refuses a table in which two names come out the same.
inline std::string CaseName(std::string_view label) {
    std::string name;
    bool wordStart = true;
    for (const char c : label) {
        const bool lower = c >= 'a' && c <= 'z';
        const bool upper = c >= 'A' && c <= 'Z';
        const bool digit = c >= '0' && c <= '9';
        if (!lower && !upper && !digit && c != '_') {
            wordStart = true;
            continue;
        }
        name.push_back(wordStart && lower ? static_cast<char>(c - 'a' + 'A') : c);
        wordStart = false;
    }
    return name;
}

// The name generator of a table whose cases carry their label in `name`.
struct CaseNameOf {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return CaseName(info.param.name);
    }
};

}  // namespace qelt::test
