#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dbsession/DBFuncs.h"

// What a driver or a columns file tells of a column or a table, made up for tests.
namespace qelt::test {

inline ColumnFacts TypeFacts(std::string typeName, std::int32_t size = 0, std::int32_t scale = 0) {
    ColumnFacts facts;
    facts.typeName = std::move(typeName);
    facts.size = size;
    facts.scale = scale;
    return facts;
}

inline ColumnFacts SizeFacts(std::int32_t size, std::int32_t scale = 0) {
    return TypeFacts({}, size, scale);
}

inline ColumnFacts IdentityFacts() {
    ColumnFacts facts;
    facts.identity = true;
    return facts;
}

inline ColumnFacts ComputedFacts() {
    ColumnFacts facts;
    facts.computed = true;
    return facts;
}

inline TableFacts PrimaryKeyFacts(std::vector<std::string> columns) {
    TableFacts table;
    table.primaryKey = std::move(columns);
    return table;
}

inline TableFacts ComputedColumnFacts(std::vector<std::string> columns) {
    TableFacts table;
    table.computedColumns = std::move(columns);
    return table;
}

}  // namespace qelt::test
