#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
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

// A session whose probe query answers with a fixed column list, without any database.
class ColumnListSession final : public DatabaseSession {
  public:
    explicit ColumnListSession(std::vector<Field> columns) : columns_(std::move(columns)) {}
    void SetDatabaseName(const std::string&) override {}
    bool UppercaseIdentifiers() override { return false; }
    bool OpenDatabase() override { return true; }
    std::unique_ptr<Recordset> OpenRecordset(const std::string&, std::int32_t, std::int32_t,
                                             std::int32_t) override {
        return std::make_unique<ListRecordset>(columns_);
    }

  private:
    class ListRecordset final : public Recordset {
      public:
        explicit ListRecordset(std::vector<Field> columns) : fields_(std::move(columns)) {}
        const Fields& GetFields() const override { return fields_; }

      private:
        FieldVector fields_;
    };
    std::vector<Field> columns_;
};

}  // namespace qelt::bench
