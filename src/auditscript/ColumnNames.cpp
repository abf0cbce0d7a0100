// The column name rules and the table of names seen so far that finds repeats.
#include "auditscript/ColumnNames.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "auditscript/SqlQuoting.h"
#include "auditscript/UnicodeCharacters.h"
#include "text/Utf.h"

namespace qelt {

namespace {

constexpr std::uint32_t kEmptySlot = 0;

// A slot keeps its name's position + 1 in the low `positionBits` (the table's size is 2 to that
// power, at least twice the names) and as many bits of the hash as fit above: 4 bytes a name
// keep the table in the cache, and names are compared only when those bits agree.
std::uint32_t SlotOf(std::uint64_t hash, std::size_t position, unsigned positionBits) {
    return static_cast<std::uint32_t>((hash >> 32 << positionBits) | (position + 1));
}

bool HashBitsAgree(std::uint32_t slot, std::uint64_t hash, unsigned positionBits) {
    return ((slot ^ (hash >> 32 << positionBits)) & 0xFFFF'FFFFu) >> positionBits == 0;
}

std::size_t PositionIn(std::uint32_t slot, unsigned positionBits) {
    return (std::uint64_t{slot} & ((std::uint64_t{1} << positionBits) - 1)) - 1;
}

// Printable ASCII, as nearly every column name is: no control character to look for.
bool IsPrintableAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

std::string RefusalText(const NameRefusal& refusal, std::string_view name,
                        std::string_view earlier) {
    switch (refusal.kind) {
        case NameRefusal::Kind::kEmpty:
            return "the column name is empty";
        case NameRefusal::Kind::kControlCharacter:
            return "the column name " + QuotedForMessage(name) + " holds a control character";
        case NameRefusal::Kind::kTooLong:
            return "the column name " + QuotedForMessage(name) + " has " +
                   std::to_string(refusal.length) + " characters, more than SQL Server's " +
                   std::to_string(kLongestIdentifier);
        case NameRefusal::Kind::kRepeated:
            return "the column name " + QuotedForMessage(name) + " repeats the name " +
                   std::string(earlier) + " (names are the same ignoring case)";
    }
    return {};
}

ColumnNameRules::ColumnNameRules(std::size_t expectedNames,
                                 std::function<std::string_view(std::size_t)> nameAt,
                                 std::pmr::memory_resource& memory)
    : nameAt_(std::move(nameAt)),
      slots_(std::bit_ceil(2 * expectedNames + 2), kEmptySlot, &memory),
      positionBits_(static_cast<unsigned>(std::countr_zero(slots_.size()))) {}

std::optional<NameRefusal> ColumnNameRules::CheckNext(std::string_view name) {
    if (name.empty()) {
        return NameRefusal{NameRefusal::Kind::kEmpty};
    }
    if (!IsPrintableAscii(name) && HasControlCharacter(name)) {
        return NameRefusal{NameRefusal::Kind::kControlCharacter};
    }
    // No UTF-8 sequence gives more UTF-16 units than it has bytes: short names need no count.
    if (name.size() > kLongestIdentifier) {
        if (const std::size_t length = text::Utf16Length(name); length > kLongestIdentifier) {
            return NameRefusal{NameRefusal::Kind::kTooLong, length};
        }
    }
    if (2 * (checked_ + 1) > slots_.size()) {
        Grow();
    }
    const std::uint64_t hash = unicode::HashIgnoringCase(name);
    std::uint32_t& slot = FindSlot(name, hash);
    if (slot != kEmptySlot) {
        return NameRefusal{NameRefusal::Kind::kRepeated, 0, PositionIn(slot, positionBits_)};
    }
    slot = SlotOf(hash, checked_++, positionBits_);
    return std::nullopt;
}

// The slot that holds an earlier name the same as this one, else the empty slot for it.
std::uint32_t& ColumnNameRules::FindSlot(std::string_view name, std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint32_t slot = slots_[i];
        if (slot == kEmptySlot ||
            (HashBitsAgree(slot, hash, positionBits_) &&
             unicode::EqualIgnoringCase(nameAt_(PositionIn(slot, positionBits_)), name))) {
            return slots_[i];
        }
    }
}

void ColumnNameRules::Grow() {
    std::pmr::vector<std::uint32_t> earlier(slots_.size() * 2, kEmptySlot, slots_.get_allocator());
    earlier.swap(slots_);
    const unsigned earlierBits = positionBits_++;
    for (const std::uint32_t slot : earlier) {
        if (slot != kEmptySlot) {
            const std::size_t position = PositionIn(slot, earlierBits);
            const std::string_view name = nameAt_(position);
            const std::uint64_t hash = unicode::HashIgnoringCase(name);
            FindSlot(name, hash) = SlotOf(hash, position, positionBits_);
        }
    }
}

}  // namespace qelt
