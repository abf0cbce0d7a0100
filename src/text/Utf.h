// UTF-8, UTF-16 and UTF-32 conversions; malformed input becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 is the text of the core; UTF-16 is what Windows, ODBC's wide calls and registry files
// hold; UTF-32 is one code point a unit. Every conversion decodes UTF-8 through DecodeUtf8, so
// all layers reject the same sequences.
//
// Replacement rule: a byte sequence that is not well-formed UTF-8 (an overlong form, a surrogate,
// a code point above U+10FFFF, a stray continuation byte, a sequence cut short) becomes one
// U+FFFD for each maximal subpart, as Unicode recommends: the lead byte together with the
// continuation bytes that could still have begun a valid sequence. An unpaired UTF-16 surrogate
// becomes one U+FFFD. Code points are never dropped, and NULs are kept.
namespace qelt::text {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point starting at text[pos] and advances pos past it (at least one byte).
// pos must be below text.size().
char32_t DecodeUtf8(std::string_view text, std::size_t& pos);

// True when the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Appends the code point as UTF-8; surrogates and values above U+10FFFF append U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// The length in UTF-16 units (as SQL Server counts a name's characters) of well-formed UTF-8:
// one a sequence, two for a four-byte one.
constexpr std::size_t Utf16Length(std::string_view utf8) {
    std::size_t length = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        length += (byte & 0xC0) != 0x80;  // a lead byte or ASCII
        length += byte >= 0xF0;
    }
    return length;
}

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u32string Utf8ToUtf32(std::string_view utf8);
std::string Utf32ToUtf8(std::u32string_view utf32);

// UTF-16LE bytes (as read from a file or a registry value) as UTF-8; an odd final byte is
// dropped.
std::string Utf16LeBytesToUtf8(std::string_view bytes);

// UTF-16 bytes that arrive in pieces (a file read a piece at a time), as UTF-8: a unit or a
// surrogate pair cut between two pieces comes out whole, so the pieces give what the whole
// bytes would, wherever they are cut.
class Utf16BytesDecoder {
  public:
    enum class ByteOrder { kLittleEndian, kBigEndian };

    explicit Utf16BytesDecoder(ByteOrder order) : bigEndian_(order == ByteOrder::kBigEndian) {}

    // Appends to `out` the UTF-8 of the units the bytes complete.
    void Append(std::string_view bytes, std::string& out);
    // The bytes have ended: a high surrogate still unpaired becomes U+FFFD, an odd byte is
    // dropped.
    void Finish(std::string& out);

  private:
    bool bigEndian_;
    int oddByte_ = -1;            // the first byte of a unit the next piece completes
    char32_t highSurrogate_ = 0;  // waiting for its low surrogate
};
// UTF-8 as UTF-16LE bytes.
std::string Utf8ToUtf16LeBytes(std::string_view utf8);

// The same conversions for the platform's own 16-bit unit types (wchar_t on Windows, SQLWCHAR),
// which are distinct types from char16_t.
template <typename Unit>
requires(sizeof(Unit) == 2) std::basic_string<Unit> Utf8ToUtf16As(std::string_view utf8) {
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    return std::basic_string<Unit>(utf16.begin(), utf16.end());
}

template <typename Unit>
requires(sizeof(Unit) == 2) std::string Utf16ToUtf8(const Unit* units, std::size_t length) {
    std::u16string utf16(length, u'\0');
    for (std::size_t i = 0; i < length; ++i) {
        utf16[i] = static_cast<char16_t>(units[i]);
    }
    return Utf16ToUtf8(utf16);
}

}  // namespace qelt::text
