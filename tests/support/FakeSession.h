#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dbsession/DBFuncs.h"
#include "dbsession/Error.h"

namespace qelt::test {

// A column list whose reads can be made to fail: Count() can report any number, and reading the
// item at `failAtItem` throws, so the partial-script paths can be checked.
class ScriptedFields final : public Fields {
  public:
    explicit ScriptedFields(std::vector<Field> fields) : fields_(std::move(fields)) {}

    std::optional<std::int32_t> countOverride;
    std::optional<std::int32_t> failAtItem;
    mutable int itemReads = 0;

    std::int32_t Count() const override {
        return countOverride.value_or(static_cast<std::int32_t>(fields_.size()));
    }
    const Field& Item(std::int32_t index) const override {
        ++itemReads;
        if (failAtItem && *failAtItem == index) {
            throw Error(-2147217887, "Field read failed");
        }
        return fields_.at(static_cast<std::size_t>(index));
    }

  private:
    std::vector<Field> fields_;
};

// A session whose every member can be scripted to answer, fail or return nothing; it records the
// calls it receives in order.
class FakeSession final : public DatabaseSession {
  public:
    std::vector<std::string> calls;
    std::vector<Field> columns;
    bool uppercaseIdentifiers = false;
    bool opens = true;
    FailureReason openFailure;  // what LastOpenFailure reports
    std::optional<Error> uppercaseError;
    std::optional<Error> openError;
    std::optional<Error> recordsetError;
    std::optional<OdbcError> recordsetDriverError;  // a driver's error, thrown as one
    bool returnsNoRecordset = false;
    std::function<void(ScriptedFields&)> scriptFields;
    std::optional<InstalledAudit> installedAudit;  // nothing: keeps no T-SQL triggers

    void SetDatabaseName(const std::string& name) override {
        calls.push_back("DatabaseName=" + name);
    }
    bool UppercaseIdentifiers() override {
        calls.push_back("UppercaseIdentifiers");
        if (uppercaseError) {
            throw *uppercaseError;
        }
        return uppercaseIdentifiers;
    }
    bool OpenDatabase() override {
        calls.push_back("OpenDatabase");
        if (openError) {
            throw *openError;
        }
        return opens;
    }
    FailureReason LastOpenFailure() const override { return openFailure; }
    std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, std::int32_t cursorType,
                                             std::int32_t lockType, std::int32_t options) override {
        calls.push_back("OpenRecordset(" + sql + "," + std::to_string(cursorType) + "," +
                        std::to_string(lockType) + "," + std::to_string(options) + ")");
        if (recordsetError) {
            throw *recordsetError;
        }
        if (recordsetDriverError) {
            throw *recordsetDriverError;
        }
        if (returnsNoRecordset) {
            return nullptr;
        }
        auto recordset = std::make_unique<FakeRecordset>(columns);
        if (scriptFields) {
            scriptFields(recordset->fields);
        }
        return recordset;
    }

    std::optional<InstalledAudit> DescribeInstalledAudit(const std::string& itemTable,
                                                         const std::string&,
                                                         const std::string&) override {
        calls.push_back("DescribeInstalledAudit(" + itemTable + ")");
        return installedAudit;
    }

  private:
    struct FakeRecordset final : Recordset {
        explicit FakeRecordset(std::vector<Field> columns) : fields(std::move(columns)) {}
        const Fields& GetFields() const override { return fields; }
        ScriptedFields fields;
    };
};

// The text with every LF turned into CR LF: the script's line ends, written readably in tests.
inline std::string CrLf(std::string_view text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') {
            result.push_back('\r');
        }
        result.push_back(c);
    }
    return result;
}

// The script's lines, split at CR LF; a final CR LF ends the last line rather than starting one.
inline std::vector<std::string> ScriptLines(std::string_view script) {
    std::vector<std::string> lines;
    while (!script.empty()) {
        const auto end = script.find("\r\n");
        lines.emplace_back(script.substr(0, end));
        script.remove_prefix(end == std::string_view::npos ? script.size() : end + 2);
    }
    return lines;
}

}  // namespace qelt::test
