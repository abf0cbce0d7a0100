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
    // Whether the list's names were held to the column name rules as it was read.
    enum class Names { Unchecked, Checked };

    explicit ColumnListSession(FieldVector columns, bool uppercaseIdentifiers = false,
                               Names names = Names::Unchecked)
        : columns_(std::move(columns)),
          uppercaseIdentifiers_(uppercaseIdentifiers),
          names_(names) {}

    void SetDatabaseName(const std::string&) override {}
    bool UppercaseIdentifiers() override { return uppercaseIdentifiers_; }
    bool OpenDatabase() override { return true; }
    std::unique_ptr<Recordset> OpenRecordset(const std::string&, std::int32_t, std::int32_t,
                                             std::int32_t) override {
        return std::make_unique<ColumnListRecordset>(columns_, names_ == Names::Checked);
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
        ColumnListRecordset(const FieldVector& fields, bool namesChecked)
            : fields_(fields), namesChecked_(namesChecked) {}
        const Fields& GetFields() const override { return fields_; }
        bool NamesChecked() const override { return namesChecked_; }

      private:
        const FieldVector& fields_;
        bool namesChecked_;
    };

    FieldVector columns_;
    bool uppercaseIdentifiers_;
    Names names_;
};

}  // namespace qelt
