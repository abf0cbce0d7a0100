#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbsession/DBFuncs.h"

namespace qelt::bench {

// The key column and count - 1 more, cycling through text, integer, long text and date types.
inline std::vector<Field> ManyColumns(int count) {
    const std::int32_t types[] = {ado::adVarWChar, ado::adInteger, ado::adLongVarWChar,
                                  ado::adDBTimeStamp};
    std::vector<Field> columns;
    columns.push_back({"CompanyIntID", ado::adInteger});
    for (int i = 1; i < count; ++i) {
        columns.push_back({"Column" + std::to_string(i), types[i % 4]});
    }
    return columns;
}

}  // namespace qelt::bench
