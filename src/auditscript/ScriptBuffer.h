#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qelt {

// The text of the generated script. Generated text only ever reaches it by appending, so after a
// failure it holds exactly the lines written before it. Lines end in CR LF on every platform.
class ScriptBuffer {
  public:
    void Clear() { text_.clear(); }

    // Makes room for `more` bytes beyond the text, so that a long script grows in one step; room
    // made earlier is kept.
    void Reserve(std::size_t more) {
        if (text_.capacity() - text_.size() < more) {
            text_.reserve(text_.size() + more);
        }
    }

    // Appends the text followed by CR LF; an empty text gives an empty line.
    void AppendScriptLine(std::string_view text) { AppendLine(text); }

    // Appends the text with no line end (the entries of the trigger's SET list).
    void AppendScriptText(std::string_view text) { text_.append(text); }

    // Appends the concatenation of the pieces and CR LF, without building a temporary line.
    template <typename... Pieces>
    void AppendLine(const Pieces&... pieces) {
        (text_.append(std::string_view(pieces)), ...);
        text_.append("\r\n");
    }

    const std::string& Text() const noexcept { return text_; }
    std::string TakeText() { return std::move(text_); }

  private:
    std::string text_;
};

}  // namespace qelt
