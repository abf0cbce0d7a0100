#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// What a fake session answers and what it was asked. A test whose session is handed to code that
// owns it keeps the state, which outlives the session.
struct FakeSessionState {
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
    std::function<void()> onOpenDatabase;          // lets a test look at a window during a run
    std::function<void()> onDestroy;               // lets a test see when the session goes

    std::vector<std::string> calls;  // in the order they came
    bool destroyed = false;

    // The names SetDatabaseName was given, in order.
    std::vector<std::string> DatabaseNames() const {
        std::vector<std::string> names;
        for (const std::string& call : calls) {
            if (call.starts_with(kDatabaseName)) {
                names.push_back(call.substr(kDatabaseName.size()));
            }
        }
        return names;
    }
    std::size_t OpenCount() const {
        return static_cast<std::size_t>(std::ranges::count(calls, "OpenDatabase"));
    }

    static constexpr std::string_view kDatabaseName = "DatabaseName=";
};

// A session whose every member can be scripted to answer, fail or return nothing; it records the
// calls it receives in order. Made without a state it keeps one of its own.
class FakeSession final : public DatabaseSession {
    std::shared_ptr<FakeSessionState> owner_;  // first: `state` is bound to it

  public:
    FakeSession() : FakeSession(std::make_shared<FakeSessionState>()) {}
    explicit FakeSession(std::shared_ptr<FakeSessionState> shared) : owner_(std::move(shared)) {}
    FakeSession(const FakeSession&) = delete;
    FakeSession& operator=(const FakeSession&) = delete;
    ~FakeSession() override {
        state.destroyed = true;
        if (state.onDestroy) {
            state.onDestroy();
        }
    }

    FakeSessionState& state = *owner_;

    void SetDatabaseName(const std::string& name) override {
        state.calls.push_back(std::string(FakeSessionState::kDatabaseName) + name);
    }
    bool UppercaseIdentifiers() override {
        state.calls.push_back("UppercaseIdentifiers");
        if (state.uppercaseError) {
            throw *state.uppercaseError;
        }
        return state.uppercaseIdentifiers;
    }
    bool OpenDatabase() override {
        state.calls.push_back("OpenDatabase");
        if (state.onOpenDatabase) {
            state.onOpenDatabase();
        }
        if (state.openError) {
            throw *state.openError;
        }
        return state.opens;
    }
    FailureReason LastOpenFailure() const override { return state.openFailure; }
    std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, std::int32_t cursorType,
                                             std::int32_t lockType, std::int32_t options) override {
        state.calls.push_back("OpenRecordset(" + sql + "," + std::to_string(cursorType) + "," +
                              std::to_string(lockType) + "," + std::to_string(options) + ")");
        if (state.recordsetError) {
            throw *state.recordsetError;
        }
        if (state.recordsetDriverError) {
            throw *state.recordsetDriverError;
        }
        if (state.returnsNoRecordset) {
            return nullptr;
        }
        auto recordset = std::make_unique<FakeRecordset>(state.columns);
        if (state.scriptFields) {
            state.scriptFields(recordset->fields);
        }
        return recordset;
    }

    std::optional<InstalledAudit> DescribeInstalledAudit(const std::string& itemTable,
                                                         const std::string&,
                                                         const std::string&) override {
        state.calls.push_back("DescribeInstalledAudit(" + itemTable + ")");
        return state.installedAudit;
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
