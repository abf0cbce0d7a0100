// The rules every column name keeps to, from a database or a columns file alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The names every column list must keep to, whatever its source (a database, a columns file):
// a name the script cannot carry or SQL Server would refuse, or one that would set a column
// twice, ends the list.
namespace qelt {

// SQL Server's longest identifier, in UTF-16 units.
inline constexpr std::size_t kLongestIdentifier = 128;

// Why a column name cannot stand in the script.
struct NameRefusal {
    enum class Kind { kEmpty, kControlCharacter, kTooLong, kRepeated };
    Kind kind;
    std::size_t length = 0;   // kTooLong: the name's UTF-16 units
    std::size_t earlier = 0;  // kRepeated: the position of the earlier name in the list
};

// The refusal as a message says it: "the column name 'X' holds a control character". An earlier
// name is named by `earlier` ("on line 2").
std::string RefusalText(const NameRefusal& refusal, std::string_view name,
                        std::string_view earlier);

// Checks the names of a list in order: empty, holding a control character (CR, LF, NUL, ...),
// longer than 128 UTF-16 units, or the same as an earlier name ignoring case (simple Unicode case
// folding, as a case-insensitive collation compares them). The earlier names are found through
// an open-addressing table of their positions, hashed and compared by simple case folding, so no
// folded copy of a name is ever made.
class ColumnNameRules {
  public:
    // `expectedNames` sizes the table (it grows past it); `nameAt` gives an earlier name by its
    // position, and is asked only when two hashes agree and when the table grows.
    ColumnNameRules(std::size_t expectedNames, std::function<std::string_view(std::size_t)> nameAt,
                    std::pmr::memory_resource& memory = *std::pmr::get_default_resource());

    // Checks the list's next name, well-formed UTF-8; nothing when the script can take it.
    std::optional<NameRefusal> CheckNext(std::string_view name);

  private:
    std::uint32_t& FindSlot(std::string_view name, std::uint64_t hash);
    void Grow();

    std::function<std::string_view(std::size_t)> nameAt_;
    std::pmr::vector<std::uint32_t> slots_;  // hash bits and position + 1, or 0: empty
    unsigned positionBits_;                  // the low bits of a slot that hold the position
    std::size_t checked_ = 0;
};

}  // namespace qelt
