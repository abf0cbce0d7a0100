// UTF-8, UTF-16 and UTF-32 conversions; malformed input becomes U+FFFD.
#include "text/Utf.h"

namespace qelt::text {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0u) == 0x80u;
}

bool IsSurrogate(char32_t codePoint) {
    return codePoint >= 0xD800 && codePoint <= 0xDFFF;
}

// The well-formed sequences by lead byte: how many continuation bytes follow, and the range
// the first of them must lie in (this is what excludes overlong forms, surrogates and code
// points above U+10FFFF).
struct LeadByte {
    int continuations;
    unsigned char firstLow;
    unsigned char firstHigh;
};

constexpr LeadByte Classify(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {1, 0x80, 0xBF};
    }
    if (lead == 0xE0) {
        return {2, 0xA0, 0xBF};
    }
    if (lead == 0xED) {
        return {2, 0x80, 0x9F};
    }
    if (lead >= 0xE1 && lead <= 0xEF) {
        return {2, 0x80, 0xBF};
    }
    if (lead == 0xF0) {
        return {3, 0x90, 0xBF};
    }
    if (lead >= 0xF1 && lead <= 0xF3) {
        return {3, 0x80, 0xBF};
    }
    if (lead == 0xF4) {
        return {3, 0x80, 0x8F};
    }
    return {0, 0, 0};  // ASCII is handled before; anything else starts no sequence
}

// Decodes one sequence at text[pos] into codePoint and advances pos past the maximal subpart it
// read; false when the sequence is not well-formed.
bool DecodeWellFormed(std::string_view text, std::size_t& pos, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) {
        codePoint = lead;
        return true;
    }
    const LeadByte shape = Classify(lead);
    if (shape.continuations == 0) {
        return false;
    }
    codePoint = lead & (0xFFu >> (shape.continuations + 2));
    for (int i = 0; i < shape.continuations; ++i) {
        if (pos >= text.size()) {
            return false;
        }
        const auto byte = static_cast<unsigned char>(text[pos]);
        const bool allowed =
            i == 0 ? (byte >= shape.firstLow && byte <= shape.firstHigh) : IsContinuation(byte);
        if (!allowed) {
            return false;  // the byte is not consumed: it may start the next sequence
        }
        codePoint = (codePoint << 6) | (byte & 0x3Fu);
        ++pos;
    }
    return true;
}

template <typename Sink>
void DecodeEach(std::string_view text, Sink&& sink) {
    char32_t codePoint = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        sink(DecodeWellFormed(text, pos, codePoint) ? codePoint : kReplacementCharacter);
    }
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint >= 0x10000) {
        out += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    } else {
        out += static_cast<char16_t>(codePoint);
    }
}

// Takes the next UTF-16 unit: a high surrogate waits in `high` for its low one; an unpaired
// surrogate becomes U+FFFD.
void TakeUtf16Unit(char32_t unit, char32_t& high, std::string& out) {
    if (unit < 0x80 && high == 0) {  // ASCII, as most of a settings file is
        out += static_cast<char>(unit);
        return;
    }
    if (high != 0) {
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
            high = 0;
            return;
        }
        AppendUtf8(out, kReplacementCharacter);
        high = 0;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        high = unit;
        return;
    }
    AppendUtf8(out, IsSurrogate(unit) ? kReplacementCharacter : unit);
}

// The units have ended: a high surrogate still waiting is unpaired.
void EndUtf16Units(char32_t& high, std::string& out) {
    if (high != 0) {
        AppendUtf8(out, kReplacementCharacter);
        high = 0;
    }
}

}  // namespace

char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
    char32_t codePoint = 0;
    return DecodeWellFormed(text, pos, codePoint) ? codePoint : kReplacementCharacter;
}

bool IsValidUtf8(std::string_view text) {
    char32_t codePoint = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (!DecodeWellFormed(text, pos, codePoint)) {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (IsSurrogate(codePoint) || codePoint > 0x10FFFF) {
        codePoint = kReplacementCharacter;
    }
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    DecodeEach(utf8, [&out](char32_t codePoint) { AppendUtf16(out, codePoint); });
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    char32_t high = 0;
    for (const char16_t unit : utf16) {
        TakeUtf16Unit(unit, high, out);
    }
    EndUtf16Units(high, out);
    return out;
}

std::u32string Utf8ToUtf32(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    DecodeEach(utf8, [&out](char32_t codePoint) { out += codePoint; });
    return out;
}

std::string Utf32ToUtf8(std::u32string_view utf32) {
    std::string out;
    out.reserve(utf32.size());
    for (const char32_t codePoint : utf32) {
        AppendUtf8(out, codePoint);
    }
    return out;
}

std::string Utf16LeBytesToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    Utf16BytesDecoder decoder(Utf16BytesDecoder::ByteOrder::kLittleEndian);
    decoder.Append(bytes, out);
    decoder.Finish(out);
    return out;
}

void Utf16BytesDecoder::Append(std::string_view bytes, std::string& out) {
    const auto unitOf = [this](unsigned char first, unsigned char second) {
        return bigEndian_ ? char32_t{first} << 8 | second : char32_t{second} << 8 | first;
    };
    std::size_t i = 0;
    if (oddByte_ >= 0 && !bytes.empty()) {
        TakeUtf16Unit(
            unitOf(static_cast<unsigned char>(oddByte_), static_cast<unsigned char>(bytes[0])),
            highSurrogate_, out);
        oddByte_ = -1;
        i = 1;
    }
    for (; i + 1 < bytes.size(); i += 2) {
        TakeUtf16Unit(
            unitOf(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(bytes[i + 1])),
            highSurrogate_, out);
    }
    if (i < bytes.size()) {
        oddByte_ = static_cast<unsigned char>(bytes[i]);
    }
}

void Utf16BytesDecoder::Finish(std::string& out) {
    EndUtf16Units(highSurrogate_, out);
    oddByte_ = -1;
}

std::string Utf8ToUtf16LeBytes(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(2 * utf8.size());
    for (const char16_t unit : Utf8ToUtf16(utf8)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace qelt::text
