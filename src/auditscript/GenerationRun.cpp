#include "auditscript/GenerationRun.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
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
        if (index >= checkedCount_) {
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

}  // namespace

std::string ProbeQuery(const std::string& itemTable) {
    return "SELECT * FROM " + itemTable + " WHERE 1=2";
}

RunOutcome CreateAuditScript(ScriptWindow& window, DatabaseSession& session,
                             const ColumnOverrides& overrides, const WarningSink& warnings,
                             ScriptSections sections) {
    std::unique_ptr<Recordset> recordset;
    std::string failure;
    std::int32_t failureNumber = 0;
    std::string details;
    try {
        window.SetBusyPointer();
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
        RunOutcome outcome;
        if (!session.OpenDatabase()) {
            window.ShowMessage("Error Opening the Database.\r\n" + databaseName,
                               MessageStyle::Information,
                               FailureDetailsText(session.LastOpenFailure()));
            outcome.kind = RunOutcome::Kind::OpenFailed;
        } else {
            recordset = session.OpenRecordset(ProbeQuery(itemTable), 3, 3, 1);
            const TableFacts table = recordset ? session.DescribeTable(itemTable) : TableFacts();
            if (sections == ScriptSections::AuditTableAndTrigger) {
                WriteAuditTableScript(script, auditTable);
            } else {
                WriteRemovalScript(script, itemTable, false);
                script.AppendScriptLine("");
            }
            const RecordsetColumns columns(recordset.get());
            WriteAuditTriggerScript(script, itemTable, auditTable, keyColumn, displayColumn,
                                    columns, table);
            if (warnings) {
                AuditScriptWarnings(itemTable, keyColumn, displayColumn, columns, table, warnings);
            }
        }
        recordset.reset();
        window.ResetPointer();
        return outcome;
    } catch (const Error& error) {
        failureNumber = error.Number();
        failure = error.Description();
        details = FailureDetailsText(ReasonOfError(error));
    } catch (const std::bad_alloc&) {
        failureNumber = kErrOutOfMemory;
        failure = "Out of memory";
    } catch (const std::exception& error) {
        failureNumber = kErrUnexpected;
        failure = error.what();
    }
    recordset.reset();
    window.ShowMessage(TriggerErrorMessage(failureNumber, failure), MessageStyle::OkOnly, details);
    window.ResetPointer();
    return {RunOutcome::Kind::Failed, failureNumber};
}

}  // namespace qelt
