#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Splitting text into lines. CR LF, a lone LF and a lone CR each end one line; the line ends
// are not part of the lines. A last line without its line end is a line; a text that ends with
// a line end has no empty line after it.
namespace qelt::text {

class LineSplitter {
  public:
    explicit LineSplitter(std::string_view text) : text_(text) {}

    // The next line, or false at the end of the text.
    bool Next(std::string_view& line);

    // Where the next line starts, as an offset into the text.
    std::size_t Position() const { return pos_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace qelt::text
