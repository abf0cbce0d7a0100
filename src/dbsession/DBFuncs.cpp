// DBFuncs: the recordset's fields by index and the facts of a table.
#include "dbsession/DBFuncs.h"

#include <algorithm>
#include <string>

#include "dbsession/Error.h"

namespace qelt {

std::int32_t FieldVector::Count() const {
    return static_cast<std::int32_t>(fields_.size());
}

const Field& FieldVector::Item(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= fields_.size()) {
        throw Error(kErrSubscriptOutOfRange,
                    "Field position " + std::to_string(index) + " is out of range");
    }
    return fields_[static_cast<std::size_t>(index)];
}

bool TableFacts::IsComputed(std::string_view column) const {
    return std::ranges::find(computedColumns, column) != computedColumns.end();
}

TableFacts DatabaseSession::DescribeTable(const std::string&) {
    return {};
}

std::optional<InstalledAudit> DatabaseSession::DescribeInstalledAudit(const std::string&,
                                                                      const std::string&,
                                                                      const std::string&) {
    return std::nullopt;
}

}  // namespace qelt
