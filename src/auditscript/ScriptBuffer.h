// The growing text of a generated script, handed on in pieces or whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace qelt {

// The text of the generated script. Generated text only ever reaches it by appending, so after a
// failure it holds exactly the lines written before it. Lines end in CR LF on every platform.
//
// A reader that takes the script as it is written (the command line with a column list, which can
// no longer fail once generation starts) may have it handed on in pieces instead: the buffer then
// holds only the text not yet handed on, so a long script passes through one small buffer.
class ScriptBuffer {
  public:
    using PieceSink = std::function<void(std::string_view)>;

    void Clear() { text_.clear(); }

    // From now on, whenever the text reaches `pieceBytes`, hands it to `sink` and clears it.
    void HandOnInPieces(std::size_t pieceBytes, PieceSink sink) {
        pieceBytes_ = pieceBytes;
        sink_ = std::move(sink);
        text_.reserve(pieceBytes + kLongestLine);
    }

    // Hands the text not yet handed on to the sink, if there is one.
    void HandOnRest() {
        if (sink_ && !text_.empty()) {
            sink_(text_);
            text_.clear();
        }
    }

    // Makes room for `more` bytes beyond the text, so that a long script grows in one step; room
    // made earlier is kept. A buffer that hands on its pieces already has its room.
    void Reserve(std::size_t more) {
        if (!sink_ && text_.capacity() - text_.size() < more) {
            text_.reserve(text_.size() + more);
        }
    }

    // Appends the text followed by CR LF; an empty text gives an empty line.
    void AppendScriptLine(std::string_view text) { AppendLine(text); }

    // Appends the text with no line end (the entries of the trigger's SET list).
    void AppendScriptText(std::string_view text) {
        text_.append(text);
        HandOnFullPiece();
    }

    // Appends the concatenation of the pieces and CR LF, without building a temporary line. A
    // piece is a string literal or a string view; a literal's length is known when compiling, so
    // its copy needs no call.
    template <typename... Pieces>
    void AppendLine(const Pieces&... pieces) {
        const std::size_t length = (LengthOf(pieces) + ... + LengthOf("\r\n"));
        // One resize for the line, then plain copies: far cheaper than an append a piece.
        const std::size_t start = text_.size();
        text_.resize(start + length);
        char* end = text_.data() + start;
        ((end = CopyOf(pieces, end)), ...);
        CopyOf("\r\n", end);
        HandOnFullPiece();
    }

    const std::string& Text() const noexcept { return text_; }
    std::string TakeText() { return std::move(text_); }

  private:
    template <std::size_t N>
    static constexpr std::size_t LengthOf(const char (&)[N]) {
        return N - 1;
    }
    static std::size_t LengthOf(std::string_view text) { return text.size(); }

    template <std::size_t N>
    static char* CopyOf(const char (&literal)[N], char* out) {
        std::memcpy(out, literal, N - 1);
        return out + (N - 1);
    }
    static char* CopyOf(std::string_view text, char* out) {
        std::memcpy(out, text.data(), text.size());
        return out + text.size();
    }

    // Room beyond a piece for the line that fills it, so that the buffer does not grow.
    static constexpr std::size_t kLongestLine = 4096;

    void HandOnFullPiece() {
        if (sink_ && text_.size() >= pieceBytes_) {
            sink_(text_);
            text_.clear();
        }
    }

    std::string text_;
    std::size_t pieceBytes_ = 0;
    PieceSink sink_;
};

}  // namespace qelt
