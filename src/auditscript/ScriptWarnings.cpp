// The warnings of a script: what it cannot mend, one line per column and problem.
#include "auditscript/ScriptWarnings.h"

#include <algorithm>

#include "auditscript/SQLFuncs.h"
#include "auditscript/SqlQuoting.h"
#include "text/Ascii.h"
#include "text/Utf.h"

namespace qelt {

namespace {

bool IsCharacterType(std::int32_t type) {
    return IsTextType(type) || type == ado::adChar || type == ado::adWChar;
}

bool IsNumberType(std::int32_t type) {
    switch (type) {
        case ado::adTinyInt:
        case ado::adUnsignedTinyInt:
        case ado::adSmallInt:
        case ado::adInteger:
        case ado::adBigInt:
        case ado::adNumeric:
        case ado::adDecimal:
            return true;
        default:
            return false;
    }
}

// The server error of an INSERT whose value is wider than its nvarchar column.
std::string_view TooWideError(const Field& column) {
    if (column.Type == ado::adGUID) {
        return "Msg 8170, Insufficient result space to convert uniqueidentifier value";
    }
    if (IsNumberType(column.Type)) {
        return "Msg 8115, Arithmetic overflow error converting expression to data type nvarchar";
    }
    return "Msg 8152, String or binary data would be truncated";
}

// Builds the warnings' lines in one buffer that each line reuses: a wide table may have
// thousands of them.
class WarningLines {
  public:
    explicit WarningLines(const WarningSink& take) : take_(take) {}

    template <typename... Parts>
    void Add(const Parts&... parts) {
        line_.clear();
        (line_.append(parts), ...);
        take_(line_);
    }

  private:
    const WarningSink& take_;
    std::string line_;
};

// The warnings of the column that holds an audit row's key or display name, found in the
// table or not (null).
void WarnOfRowColumn(WarningLines& warnings, const Field* column, std::string_view role,
                     std::string_view name, std::string_view option, std::string_view auditColumn,
                     std::int32_t auditWidth, bool cutToFit) {
    if (column == nullptr) {
        warnings.Add("the ", role, " column ", QuotedForMessage(name),
                     " is not a column of the table: the script's CREATE TRIGGER fails (Msg 207, "
                     "Invalid column name); name the column with ",
                     option);
        return;
    }
    if (const std::int32_t width = TextWidthOf(*column); width > auditWidth) {
        if (cutToFit) {
            warnings.Add("the ", role, " column ", QuotedForMessage(name), " holds up to ",
                         std::to_string(width), " characters and the audit table's ", auditColumn,
                         " ", std::to_string(auditWidth),
                         ": the trigger logs longer values cut to ", std::to_string(auditWidth));
            return;
        }
        warnings.Add("the ", role, " column ", QuotedForMessage(name), " holds up to ",
                     std::to_string(width), " characters and the audit table's ", auditColumn, " ",
                     std::to_string(auditWidth),
                     ": every update of a row whose value is longer fails (", TooWideError(*column),
                     ")");
    }
}

// The losses that several types share.
constexpr std::string_view kMoneyLoss =
    " holds money values, which the trigger logs with 2 of their 4 decimals";
constexpr std::string_view kFractionLoss =
    " holds date and time values, which the trigger logs cut to 20 characters: fractions of a "
    "second and any time zone offset are lost";
constexpr std::string_view kMinuteLoss =
    " holds date and time values, which the trigger logs to the minute ('Dec  7 2026 11:04PM'): "
    "seconds and fractions are lost";

// True for the date and time types whose text passes the 20 characters the trigger logs.
bool LosesFractions(const Field& column) {
    return HasTypeName(column, "datetime2") || HasTypeName(column, "datetimeoffset");
}

// The loss of a column whose driver type tells nothing of it, by the server's type name.
std::string_view LossOfTypeName(const Field& column) {
    if (HasTypeName(column, "sql_variant")) {
        return " is an sql_variant: values holding binary data are logged as unreadable text";
    }
    if (LosesFractions(column)) {
        return kFractionLoss;
    }
    if (HasTypeName(column, "money") || HasTypeName(column, "smallmoney")) {
        return kMoneyLoss;
    }
    return HasTypeName(column, "datetime") ? kMinuteLoss : std::string_view();
}

// How a logged column's values lose part of what they hold in the audit table, or nothing.
std::string_view LossOf(const Field& column) {
    switch (column.Type) {
        case ado::adBinary:
        case ado::adVarBinary:
        case ado::adLongVarBinary:
            // image is logged as 0x… digits.
            return HasTypeName(column, "image")
                       ? std::string_view()
                       : " holds binary values, which the trigger logs as unreadable text";
        case ado::adChar:
        case ado::adWChar:
            return column.Facts->size > kDefaultCastCharacters
                       ? " holds fixed-length text longer than 20 characters, which the trigger "
                         "logs cut to 20"
                       : std::string_view();
        case ado::adCurrency:
            return kMoneyLoss;
        case ado::adSingle:
        case ado::adDouble:
            return " holds floating-point values, which the trigger logs rounded to 6 significant "
                   "digits";
        case ado::adDBTimeStamp:
        case ado::adDate:
            if (LosesFractions(column)) {
                return kFractionLoss;
            }
            // smalldatetime is kept to the minute already.
            return HasTypeName(column, "smalldatetime") ? std::string_view() : kMinuteLoss;
        default:
            return LossOfTypeName(column);
    }
}

// What keeps the trigger off the table, or makes every update fail, as the catalog shows it.
void WarnOfTable(WarningLines& warnings, std::string_view itemTable, const TableFacts& table) {
    if (!table.cascadingForeignKeys.empty()) {
        warnings.Add("the table has foreign keys with an ON UPDATE action (",
                     JoinedForMessage(table.cascadingForeignKeys),
                     "): the script's CREATE TRIGGER fails (Msg 2113, Cannot CREATE INSTEAD OF "
                     "UPDATE TRIGGER on a table that has a FOREIGN KEY with cascading UPDATE)");
    }
    const std::string auditTrigger = AuditTriggerName(itemTable);
    for (const std::string& trigger : table.insteadOfUpdateTriggers) {
        // The server resolves names without regard to ASCII case in its usual collations.
        if (text::EqualsIgnoringAsciiCase(trigger, auditTrigger)) {
            warnings.Add("the table already has the audit trigger ", QuotedForMessage(trigger),
                         ": the script's CREATE TABLE and CREATE TRIGGER fail (Msg 2714, There is "
                         "already an object named ...); remove it first with qeltaudit --drop");
        } else {
            warnings.Add("the table already has the INSTEAD OF UPDATE trigger ",
                         QuotedForMessage(trigger),
                         ": the script's CREATE TRIGGER fails (Msg 2111, a table can have only one "
                         "INSTEAD OF UPDATE trigger)");
        }
    }
    if (table.systemVersioned) {
        warnings.Add(
            "the table is a system-versioned temporal table: SQL Server permits no "
            "INSTEAD OF trigger on it, and the script's CREATE TRIGGER fails");
    }
    for (const Field& column : table.catalogColumns) {
        if (column.Facts->columnSet) {
            warnings.Add("the table has the sparse column set ", QuotedForMessage(column.Name),
                         ": the trigger's UPDATE sets it beside its sparse columns, and every "
                         "update fails (Msg 360, The target column list of an INSERT, UPDATE, or "
                         "MERGE statement cannot contain both a sparse column and the column set "
                         "that contains the sparse column)");
        }
    }
}

// The warnings of a column the trigger logs: a name longer than the audit table keeps, values
// logged in part.
void WarnOfLoggedColumn(WarningLines& warnings, const std::string& name, const Field& described) {
    // No UTF-8 sequence gives more UTF-16 units than it has bytes: short names need no count.
    if (const std::size_t length = name.size() > kFieldNameCharacters ? text::Utf16Length(name) : 0;
        length > kFieldNameCharacters) {
        warnings.Add(
            "the column ", QuotedForMessage(name), " has a name of ", std::to_string(length),
            " characters and the audit table's FieldName ", std::to_string(kFieldNameCharacters),
            ": the trigger logs it cut to its first ", std::to_string(kFieldNameCharacters));
    }
    if (const std::string_view loss = LossOf(described); !loss.empty()) {
        warnings.Add("the column ", QuotedForMessage(name), loss);
    }
}

// The warnings of the key column, found in the table or not (null).
void WarnOfKeyColumn(WarningLines& warnings, const Field* key, std::string_view keyColumn,
                     const TableFacts& table) {
    WarnOfRowColumn(warnings, key, "key", keyColumn, "--key-column", "ItemIntID", kItemIdCharacters,
                    false);
    const bool keyIsPrimaryKey = table.primaryKey.size() == 1 &&
                                 text::EqualsIgnoringAsciiCase(table.primaryKey[0], keyColumn);
    if (!table.primaryKey.empty() && !keyIsPrimaryKey) {
        warnings.Add("the key column ", QuotedForMessage(keyColumn),
                     " is not the table's primary key (", JoinedForMessage(table.primaryKey),
                     "): the trigger matches rows by values that may repeat, so an update may "
                     "set and log other rows than it names");
    }
}

}  // namespace

std::int32_t TextWidthOf(const Field& column) {
    switch (column.Type) {
        case ado::adBoolean:
            return 1;
        case ado::adTinyInt:
        case ado::adUnsignedTinyInt:
            return 3;
        case ado::adSmallInt:
            return 5;
        case ado::adInteger:
            return 10;  // the positive values that keys and identities take
        case ado::adBigInt:
            return 19;
        case ado::adGUID:
            return 36;
        case ado::adNumeric:
        case ado::adDecimal:
            return column.Facts->size == 0 ? 0 : column.Facts->size + (column.Facts->scale > 0);
        default:
            return IsCharacterType(column.Type) ? column.Facts->size : 0;
    }
}

void AuditScriptWarnings(std::string_view itemTable, std::string_view keyColumn,
                         std::string_view displayColumn, const Fields& columns,
                         const TableFacts& table, const WarningSink& take) {
    if (columns.Count() == 0) {
        return;
    }
    WarningLines warnings(take);
    WarnOfTable(warnings, itemTable, table);
    const CatalogColumns catalog(table);
    // One pass over the columns, which may be thousands: the logged columns' warnings as they
    // come, the key and display columns found on the way.
    const Field* key = nullptr;
    const Field* display = nullptr;
    for (std::int32_t p = 0; p < columns.Count(); ++p) {
        const Field& column = columns.Item(p);
        const Field& described = catalog.Described(column);
        // SQL Server resolves names without regard to letter case in its usual collations.
        if (key == nullptr && text::EqualsIgnoringAsciiCase(column.Name, keyColumn)) {
            key = &described;
        }
        if (display == nullptr && text::EqualsIgnoringAsciiCase(column.Name, displayColumn)) {
            display = &described;
        }
        // Only a column that an update can change gets audit rows.
        if (IsLoggedColumn(column.Name, keyColumn) && CanBeSet(described, table)) {
            WarnOfLoggedColumn(warnings, column.Name, described);
        }
    }
    if (!keyColumn.empty()) {
        WarnOfKeyColumn(warnings, key, keyColumn, table);
    }
    WarnOfRowColumn(warnings, display, "display", displayColumn, "--display-column", "DisplayName",
                    kDisplayNameCharacters, true);
}

}  // namespace qelt
