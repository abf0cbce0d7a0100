// Every layer converts text through the text layer, from files, registry values and drivers it
// does not control: whatever the bytes, decoding must not crash, the conversions must agree with
// each other, and IsValidUtf8 must say exactly when a round trip gives the bytes back.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Require.h"
#include "text/Ascii.h"
#include "text/Lines.h"
#include "text/Utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qelt::text;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // UTF-8 → UTF-32 / UTF-16 → UTF-8: both ways give the same text, which is well-formed and
    // equals the input exactly when the input was.
    const std::u32string utf32 = Utf8ToUtf32(bytes);
    const std::string viaUtf32 = Utf32ToUtf8(utf32);
    const std::string viaUtf16 = Utf16ToUtf8(Utf8ToUtf16(bytes));
    Require(viaUtf16 == viaUtf32);
    Require(Utf16LeBytesToUtf8(Utf8ToUtf16LeBytes(bytes)) == viaUtf32);
    Require(IsValidUtf8(viaUtf32));
    Require(IsValidUtf8(bytes) == (viaUtf32 == bytes));
    Require(Utf8ToUtf32(viaUtf32) == utf32);

    // DecodeUtf8 steps through the text one code point at a time, as the conversions do.
    std::size_t codePoints = 0;
    for (std::size_t pos = 0; pos < bytes.size(); ++codePoints) {
        const std::size_t before = pos;
        const char32_t codePoint = DecodeUtf8(bytes, pos);
        Require(pos > before && pos <= bytes.size() && pos - before <= 4);
        Require(codePoint == utf32[codePoints]);
    }
    Require(codePoints == utf32.size());

    // The same bytes read as UTF-16LE (as a registry value or a file with a BOM) give
    // well-formed UTF-8 whose UTF-16 form round-trips.
    const std::string fromUtf16 = Utf16LeBytesToUtf8(bytes);
    Require(IsValidUtf8(fromUtf16));
    Require(Utf16ToUtf8(Utf8ToUtf16(fromUtf16)) == fromUtf16);

    // Lines hold no line ends, and the splitter always moves on: each line stands where the last
    // one ended, followed by one line end (CR LF taken together) or the end of the text.
    LineSplitter lines(bytes);
    std::size_t position = 0;
    for (std::string_view line; lines.Next(line);) {
        Require(line.find_first_of("\r\n") == std::string_view::npos);
        Require(lines.Position() > position || bytes.empty());
        Require(bytes.substr(position, line.size()) == line);
        const std::string_view lineEnd =
            bytes.substr(position + line.size(), lines.Position() - position - line.size());
        Require(lineEnd == "\r\n" || lineEnd == "\n" ||
                (lineEnd == "\r" && !bytes.substr(lines.Position()).starts_with('\n')) ||
                (lineEnd.empty() && lines.Position() == bytes.size()));
        position = lines.Position();
    }
    Require(position == bytes.size());

    // Folding touches the ASCII letters only.
    const std::string lower = AsciiLower(bytes);
    Require(lower.size() == bytes.size() && EqualsIgnoringAsciiCase(lower, bytes));
    return 0;
}
