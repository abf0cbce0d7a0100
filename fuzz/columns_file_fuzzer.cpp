// qeltaudit reads a columns file that anyone may have written: whatever the bytes, it either
// refuses the file with a message or returns a column list the script can carry, with names that
// are UTF-8, free of control characters, at most 128 UTF-16 units and unique ignoring case.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "Require.h"
#include "auditscript/ColumnNames.h"
#include "auditscript/SqlQuoting.h"
#include "auditscript/UnicodeCharacters.h"
#include "cli/ColumnsFile.h"
#include "text/Utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qelt;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const auto columns = cli::ParseColumns(bytes);
        Require(!columns.empty());
        std::unordered_multimap<std::size_t, std::string_view> seen;
        for (const Field& column : columns) {
            Require(!column.Name.empty() && text::IsValidUtf8(column.Name));
            Require(!HasControlCharacter(column.Name));
            Require(text::Utf8ToUtf16(column.Name).size() <= kLongestIdentifier);
            const std::size_t hash = unicode::HashIgnoringCase(column.Name);
            const auto [first, last] = seen.equal_range(hash);
            for (auto earlier = first; earlier != last; ++earlier) {
                Require(!unicode::EqualIgnoringCase(earlier->second, column.Name));
            }
            seen.emplace(hash, column.Name);
        }
    } catch (const cli::ColumnsFileError&) {
    }
    return 0;
}
