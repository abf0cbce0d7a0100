// The generation run: open, read the columns, write the script, report how it ended.
#include "auditscript/GenerationRun.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "auditscript/ColumnNames.h"
#include "auditscript/SQLFuncs.h"
#include "auditscript/SqlQuoting.h"
#include "dbsession/Error.h"
#include "dbsession/FailureReason.h"

namespace qelt {

namespace {

// The column list of the run: the recordset's fields, read only when the trigger needs them,
// so that a missing recordset shows after the lines written before the SET list. Each name is
// checked by the rules of every column list the first time the script reads its field or a
// later one, so that a refused name shows after the lines written before it.
class RecordsetColumns final : public Fields {
  public:
    explicit RecordsetColumns(const Recordset* recordset) : recordset_(recordset) {}

    std::int32_t Count() const override { return FieldsOf().Count(); }
    const Field& Item(std::int32_t index) const override {
        const Field& field = FieldsOf().Item(index);
        if (index >= checkedCount_ && !recordset_->NamesChecked()) {
            CheckNamesUpTo(index);
        }
        return field;
    }

  private:
    const Fields& FieldsOf() const {
        if (recordset_ == nullptr) {
            throw Error(kErrNoRecordset, "The probe query returned no recordset");
        }
        return recordset_->GetFields();
    }

    void CheckNamesUpTo(std::int32_t index) const {
        if (!names_) {
            // The table of names is sized for the count the list reports, within reason: it
            // grows past that, so a count that is wrong costs no more than time.
            constexpr std::int32_t kNamesSizedAtOnce = 1 << 20;
            const auto expected =
                static_cast<std::size_t>(std::clamp(Count(), 0, kNamesSizedAtOnce));
            names_.emplace(expected, [this](std::size_t position) {
                return std::string_view(FieldsOf().Item(static_cast<std::int32_t>(position)).Name);
            });
        }
        for (; checkedCount_ <= index; ++checkedCount_) {
            const std::string& name = FieldsOf().Item(checkedCount_).Name;
            if (const auto refusal = names_->CheckNext(name)) {
                const std::string earlier =
                    refusal->kind == NameRefusal::Kind::kRepeated
                        ? "of column " + std::to_string(refusal->earlier + 1) + ", " +
                              QuotedForMessage(
                                  FieldsOf().Item(static_cast<std::int32_t>(refusal->earlier)).Name)
                        : std::string();
                throw Error(kErrRefusedColumnName, "Column " + std::to_string(checkedCount_ + 1) +
                                                       ": " + RefusalText(*refusal, name, earlier));
            }
        }
    }

    const Recordset* recordset_;
    mutable std::optional<ColumnNameRules> names_;
    mutable std::int32_t checkedCount_ = 0;  // the fields whose names passed, from the first
};

std::string TriggerErrorMessage(std::int32_t number, const std::string& description) {
    return "Error creating the Trigger\r\nDescription: " + description +
           "\r\nNumber: " + std::to_string(number);
}

// Opens the database named in the window and writes the script into the window's buffer; a
// database that does not open is shown in a message and is the outcome.
RunOutcome WriteScript(ScriptWindow& window, DatabaseSession& session,
                       const ColumnOverrides& overrides, const WarningSink& warnings,
                       ScriptSections sections) {
    const std::string itemTable = window.ItemTableText();
    const std::string auditTable = AuditTableName(itemTable);
    const std::string keyColumn =
        overrides.keyColumn ? *overrides.keyColumn : GetKeyColumn(session, itemTable);
    const std::string displayColumn =
        overrides.displayColumn ? *overrides.displayColumn : GetDisplayColumn(itemTable);

    ScriptBuffer& script = window.Script();
    script.Clear();
    const std::string databaseName = window.DatabaseNameText();
    session.SetDatabaseName(databaseName);
    if (!session.OpenDatabase()) {
        window.ShowMessage("Error Opening the Database.\r\n" + databaseName,
                           MessageStyle::Information,
                           FailureDetailsText(session.LastOpenFailure()));
        return {RunOutcome::Kind::OpenFailed};
    }
    const std::unique_ptr<Recordset> recordset =
        session.OpenRecordset(ProbeQuery(itemTable), 3, 3, 1);
    const TableFacts table = recordset ? session.DescribeTable(itemTable) : TableFacts();
    if (sections == ScriptSections::AuditTableAndTrigger) {
        WriteAuditTableScript(script, auditTable);
    } else {
        WriteRemovalScript(script, itemTable, false);
        script.AppendScriptLine("");
    }
    const RecordsetColumns columns(recordset.get());
    WriteAuditTriggerScript(script, itemTable, auditTable, keyColumn, displayColumn, columns,
                            table);
    if (warnings) {
        AuditScriptWarnings(itemTable, keyColumn, displayColumn, columns, table, warnings);
    }
    return {};
}

}  // namespace

std::string ProbeQuery(const std::string& itemTable) {
    return "SELECT * FROM " + itemTable + " WHERE 1=2";
}

RunOutcome CreateAuditScript(ScriptWindow& window, DatabaseSession& session,
                             const ColumnOverrides& overrides, const WarningSink& warnings,
                             ScriptSections sections) {
    NumberedFailure failure;
    std::string details;
    try {
        window.SetBusyPointer();
        const RunOutcome outcome = WriteScript(window, session, overrides, warnings, sections);
        window.ResetPointer();
        return outcome;
    } catch (const std::exception& error) {
        // The recordset is closed by now: the message box does not hold it open.
        failure = NumberedFailureOf(error);
        if (const auto* numbered = dynamic_cast<const Error*>(&error)) {
            details = FailureDetailsText(ReasonOfError(*numbered));
        }
    }
    window.ShowMessage(TriggerErrorMessage(failure.number, failure.description),
                       MessageStyle::OkOnly, details);
    window.ResetPointer();
    return {RunOutcome::Kind::Failed, failure.number};
}

}  // namespace qelt
