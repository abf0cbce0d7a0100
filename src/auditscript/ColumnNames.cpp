#include "auditscript/ColumnNames.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "auditscript/SqlQuoting.h"
#include "auditscript/UnicodeCharacters.h"
#include "text/Utf.h"

namespace qelt {

namespace {

constexpr std::uint64_t kEmptySlot = UINT64_MAX;  // no position has all its bits set

// Each slot keeps the upper half of its name's hash beside the position, so that names are
// compared only when their hashes agree.
std::uint64_t SlotOf(std::uint64_t hash, std::size_t position) {
    return (hash & 0xFFFF'FFFF'0000'0000u) | position;
}

std::size_t PositionIn(std::uint64_t slot) {
    return slot & 0xFFFF'FFFFu;
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
      slots_(std::bit_ceil(2 * expectedNames + 2), kEmptySlot, &memory) {}

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
    std::uint64_t& slot = FindSlot(name, hash);
    if (slot != kEmptySlot) {
        return NameRefusal{NameRefusal::Kind::kRepeated, 0, PositionIn(slot)};
    }
    slot = SlotOf(hash, checked_++);
    return std::nullopt;
}

// The slot that holds an earlier name the same as this one, else the empty slot for it.
std::uint64_t& ColumnNameRules::FindSlot(std::string_view name, std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = slots_[i];
        if (slot == kEmptySlot || ((slot ^ hash) >> 32 == 0 &&
                                   unicode::EqualIgnoringCase(nameAt_(PositionIn(slot)), name))) {
            return slots_[i];
        }
    }
}

void ColumnNameRules::Grow() {
    std::pmr::vector<std::uint64_t> earlier(slots_.size() * 2, kEmptySlot, slots_.get_allocator());
    earlier.swap(slots_);
    for (const std::uint64_t slot : earlier) {
        if (slot != kEmptySlot) {
            const std::string_view name = nameAt_(PositionIn(slot));
            FindSlot(name, unicode::HashIgnoringCase(name)) = slot;
        }
    }
}

}  // namespace qelt
