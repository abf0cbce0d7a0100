// Quoting by doubling the mark that would end the quoted text.
#pragma once

#include <string>
#include <string_view>

// Quoting by doubling: a T-SQL literal doubles its quote, a bracketed identifier its ']', a braced
// ODBC connection value its '}', so that the text inside cannot end them.
namespace qelt::text {

// Appends the text with each `mark` written twice.
inline void AppendDoubled(std::string& out, std::string_view text, char mark) {
    for (const char c : text) {
        out.push_back(c);
        if (c == mark) {
            out.push_back(mark);
        }
    }
}

// The text with each `mark` written twice, enclosed in `open` and `close`.
inline std::string Enclosed(std::string_view open, std::string_view text, char mark,
                            std::string_view close) {
    std::string enclosed;
    enclosed.reserve(open.size() + text.size() + close.size());
    enclosed.append(open);
    AppendDoubled(enclosed, text, mark);
    enclosed.append(close);
    return enclosed;
}

}  // namespace qelt::text
