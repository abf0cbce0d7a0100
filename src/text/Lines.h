// Splitting text into lines at CR LF, LF or CR.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

// Splitting text into lines. CR LF, a lone LF and a lone CR each end one line; the line ends
// are not part of the lines. A last line without its line end is a line; a text that ends with
// a line end has no empty line after it.
namespace qelt::text {

class LineSplitter {
  public:
    explicit LineSplitter(std::string_view text)
        : text_(text), nextLf_(Find('\n', 0)), nextCr_(Find('\r', 0)) {}

    // The next line, or false at the end of the text.
    bool Next(std::string_view& line);

    // Where the next line starts, as an offset into the text.
    std::size_t Position() const { return pos_; }

  private:
    // Where the character next occurs from `from` on, or the text's size.
    std::size_t Find(char c, std::size_t from) const {
        return std::min(text_.find(c, from), text_.size());
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    // The next LF and the next CR at or after pos_ (or the text's size), each found once and
    // kept until the lines pass it: every byte is searched at most once for each, so a text with
    // only one kind of line end is not searched to its end again for every line.
    std::size_t nextLf_;
    std::size_t nextCr_;
};

std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace qelt::text
