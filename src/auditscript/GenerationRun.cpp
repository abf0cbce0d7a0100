#include "auditscript/GenerationRun.h"

#include <exception>
#include <memory>
#include <new>
#include <string>

#include "auditscript/SQLFuncs.h"
#include "auditscript/SqlQuoting.h"
#include "dbsession/Error.h"
#include "dbsession/FailureReason.h"

namespace qelt {

namespace {

constexpr std::int32_t kErrOutOfMemory = 7;
constexpr std::int32_t kErrNoRecordset = 91;
constexpr std::int32_t kErrUnexpected = 51;

// The column list of the run: the recordset's fields, read only when the trigger needs them,
// so that a missing recordset shows after the lines written before the SET list. Each field's
// name is checked the first time it is read: a control character in it would break the script.
class RecordsetColumns final : public Fields {
  public:
    explicit RecordsetColumns(const Recordset* recordset) : recordset_(recordset) {}

    std::int32_t Count() const override { return FieldsOf().Count(); }
    const Field& Item(std::int32_t index) const override {
        const Field& field = FieldsOf().Item(index);
        if (index >= checkedCount_) {
            if (HasControlCharacter(field.Name)) {
                throw Error(kErrControlCharacterInName,
                            "The column name '" + EscapedForMessage(field.Name) +
                                "' holds a control character, which the script cannot carry");
            }
            checkedCount_ = index + 1;
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

    const Recordset* recordset_;
    mutable std::int32_t checkedCount_ = 0;  // the fields are read in order from the first
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
                AuditScriptWarnings(keyColumn, displayColumn, columns, table, warnings);
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
