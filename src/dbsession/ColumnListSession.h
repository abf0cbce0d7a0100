// A database session over a column list known beforehand (a columns file).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "dbsession/DBFuncs.h"

namespace qelt {

// A session over a column list known beforehand (a columns file, a benchmark's list): it always
// opens, reads no database, and every query is described by the list.
class ColumnListSession final : public DatabaseSession {
  public:
    explicit ColumnListSession(FieldVector columns, bool uppercaseIdentifiers = false)
        : columns_(std::move(columns)), uppercaseIdentifiers_(uppercaseIdentifiers) {}

    void SetDatabaseName(const std::string&) override {}
    bool UppercaseIdentifiers() override { return uppercaseIdentifiers_; }
    bool OpenDatabase() override { return true; }
    std::unique_ptr<Recordset> OpenRecordset(const std::string&, std::int32_t, std::int32_t,
                                             std::int32_t) override {
        return std::make_unique<ColumnListRecordset>(columns_);
    }
    // The list's own primary-key marks; every table has the same columns.
    TableFacts DescribeTable(const std::string&) override {
        TableFacts facts;
        for (std::int32_t p = 0; p < columns_.Count(); ++p) {
            if (const Field& column = columns_.Item(p); column.Facts->primaryKey) {
                facts.primaryKey.push_back(column.Name);
            }
        }
        return facts;
    }

  private:
    // Describes the session's list, which outlives it.
    class ColumnListRecordset final : public Recordset {
      public:
        explicit ColumnListRecordset(const FieldVector& fields) : fields_(fields) {}
        const Fields& GetFields() const override { return fields_; }

      private:
        const FieldVector& fields_;
    };

    FieldVector columns_;
    bool uppercaseIdentifiers_;
};

}  // namespace qelt
