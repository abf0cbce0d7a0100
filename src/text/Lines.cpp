// Splitting text into lines at CR LF, LF or CR.
#include "text/Lines.h"

namespace qelt::text {

bool LineSplitter::Next(std::string_view& line) {
    if (pos_ >= text_.size()) {
        return false;
    }
    if (nextLf_ < pos_) {
        nextLf_ = Find('\n', pos_);
    }
    if (nextCr_ < pos_) {
        nextCr_ = Find('\r', pos_);
    }
    const std::size_t end = std::min(nextLf_, nextCr_);
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < text_.size()) {
        pos_ += text_.compare(pos_, 2, "\r\n") == 0 ? 2 : 1;  // CR LF ends one line
    }
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    LineSplitter splitter(text);
    for (std::string_view line; splitter.Next(line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace qelt::text
