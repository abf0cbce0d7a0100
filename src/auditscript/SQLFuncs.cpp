// SQLFuncs: the item tables, the audit table and the audit trigger, written as T-SQL.
#include "auditscript/SQLFuncs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "auditscript/SqlQuoting.h"
#include "dbsession/Error.h"
#include "text/Ascii.h"
#include "text/Trim.h"

namespace qelt {

namespace {

using namespace std::string_view_literals;

constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kKeyColumns = {{
    {"companies"sv, "CompanyIntID"sv},
    {"contacts"sv, "ContactIntID"sv},
    {"consultants"sv, "ConsIntID"sv},
    {"requirements"sv, "ReqIntID"sv},
    {"emailssent"sv, "EMSentIntID"sv},
    {"emailsreceived"sv, "EMRecvIntID"sv},
    {"emailslinked"sv, "EMLinkIntID"sv},
    {"reminders"sv, "RemIntID"sv},
    {"mlinkinfo"sv, "MLinkIntID"sv},
    {"savesets"sv, "SaveSetIntID"sv},
    {"savesetinfo"sv, "SaveSetIntID"sv},
}};

// The least a column adds to the trigger: four lines with its name twice and some 50 bytes.
constexpr std::size_t kBytesPerColumn = 256;
// Room is made for at most this many columns (SQL Server's widest tables have 30,000): a count
// that the reads then do not bear out must not reserve gigabytes first.
constexpr std::int32_t kMostColumnsReserved = 32768;

// The item tables the window lists, in their own spelling.
constexpr std::array kListedItemTables = {"Companies"sv, "Contacts"sv, "Consultants"sv,
                                          "Requirements"sv};

bool IsEditorColumn(std::string_view name) {
    return name == "uuEditedBy" || name == "EditedBy";
}

// The last position of the column list, n - 1, as a 32-bit count allows it.
std::int32_t LastPosition(const Fields& columns) {
    const std::int32_t count = columns.Count();
    if (count == std::numeric_limits<std::int32_t>::min()) {
        throw Error(kErrOverflow, "Overflow: the column count has no last position");
    }
    return count - 1;
}

constexpr std::string_view kAuditTableColumns[] = {
    "    [AutoNumber] [decimal](18, 0) IDENTITY (1, 1) NOT NULL ,",
    "    [SQLLoginID] [nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,",
    "    [QLXUserID] [nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,",
    "    [ItemIntID] [nvarchar] (10) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,",
    "    [DisplayName] [nvarchar] (80) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,",
    "    [FieldName] [nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,",
    "    [OldValue] [ntext] COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,",
    "    [NewValue] [ntext] COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,",
    "    [TransDate] [datetime] NULL",
};

// How a column's name is written: bare where an identifier is expected, and as it is inside a
// '...' literal. Decided once per column in the SET list and used by the later blocks, which read
// the same list again (a list that grew meanwhile is an error of the run).
struct NameForm {
    bool regular;     // a regular identifier, written without brackets
    bool hasQuote;    // holds a ' that a literal must double
    bool unicode;     // holds a character beyond ASCII: its literal is N'…', or the server's code
                      // page would turn it into '?'
    ValueForm value;  // how its values become text
    bool namedInUpdate;  // UPDATE() may ask for it
};
using NameForms = std::vector<NameForm>;

NameForm NameFormOf(const Field& column, const CatalogColumns& catalog, const TableFacts& table) {
    const Field& described = catalog.Described(column);
    return {IsRegularIdentifier(column.Name), column.Name.find('\'') != std::string_view::npos,
            !text::IsAscii(column.Name), ValueFormOf(described),
            CanBeNamedInUpdate(described, table)};
}

// The opening of a literal holding the text: N' where it holds more than ASCII.
std::string_view LiteralOpening(bool unicode) {
    return unicode ? "N'" : "'";
}

// The name where an identifier is expected: as it is when regular, else in brackets.
std::string_view IdentifierOf(const std::string& name, NameForm form, std::string& quoted) {
    if (form.regular) {
        return name;
    }
    quoted = QuoteIdentifier(name);
    return quoted;
}

// The name inside a '...' literal; most names hold no quote, so no copy is made of them.
std::string_view LiteralOf(const std::string& name, NameForm form, std::string& quoted) {
    if (!form.hasQuote) {
        return name;
    }
    quoted = QuoteLiteral(name);
    return quoted;
}

// One WHEN line of a CASE block: the column's old (DELETED) or new (INSERTED) value.
void AppendValueCase(ScriptBuffer& script, std::string_view rows, const Field& column,
                     NameForm form) {
    std::string quoted;
    const std::string_view identifier = IdentifierOf(column.Name, form, quoted);
    std::string quotedLiteral;
    const std::string_view literal = LiteralOf(column.Name, form, quotedLiteral);
    const std::string_view opening = LiteralOpening(form.unicode);
    switch (const ValueForm& value = form.value; value.kind) {
        case ValueForm::Kind::AsItIs:
            script.AppendLine("            WHEN ", opening, literal, "' THEN ", rows, ".",
                              identifier);
            break;
        case ValueForm::Kind::Cast:
            script.AppendLine("            WHEN ", opening, literal, "' THEN CAST(", rows, ".",
                              identifier, " AS ", value.type, ")");
            break;
        case ValueForm::Kind::Hexadecimal:
            script.AppendLine("            WHEN ", opening, literal,
                              "' THEN CONVERT(NVARCHAR(MAX), CONVERT(VARBINARY(MAX), ", rows, ".",
                              identifier, "), 1)");
            break;
    }
}

bool IsBinaryType(std::int32_t adoType) {
    return adoType == ado::adBinary || adoType == ado::adVarBinary;
}

constexpr std::int32_t kMostDecimalDigits = 38;
// Decimals of more than 18 digits are cast to precision + 2 characters, for the sign and the
// point, and one more for the leading zero of a decimal(p,p): NVARCHAR(21) to NVARCHAR(41).
constexpr std::int32_t kDigitsFittingDefaultCast = 18;
constexpr std::array<std::string_view, kMostDecimalDigits + 3 - kDefaultCastCharacters>
    kWideDecimalCasts = {"NVARCHAR(21)", "NVARCHAR(22)", "NVARCHAR(23)", "NVARCHAR(24)",
                         "NVARCHAR(25)", "NVARCHAR(26)", "NVARCHAR(27)", "NVARCHAR(28)",
                         "NVARCHAR(29)", "NVARCHAR(30)", "NVARCHAR(31)", "NVARCHAR(32)",
                         "NVARCHAR(33)", "NVARCHAR(34)", "NVARCHAR(35)", "NVARCHAR(36)",
                         "NVARCHAR(37)", "NVARCHAR(38)", "NVARCHAR(39)", "NVARCHAR(40)",
                         "NVARCHAR(41)"};

// The characters a decimal's text takes at most: sign, digits, point and the zero before the
// point of a decimal without integer digits.
std::int32_t DecimalCharacters(std::int32_t precision, std::int32_t scale) {
    return 1 + precision + (scale > 0 ? 1 : 0) + (scale > 0 && scale >= precision ? 1 : 0);
}

// Types whose values only NVARCHAR(MAX) holds whole as text.
constexpr std::array kTypesLoggedWhole = {"xml"sv,      "sql_variant"sv, "geography"sv,
                                          "geometry"sv, "hierarchyid"sv, "text"sv};
// Date and time types, which some drivers report as text: cast, or the CASE would convert every
// other logged value to them.
constexpr std::array kDateAndTimeTypes = {"date"sv,      "time"sv,           "datetime"sv,
                                          "datetime2"sv, "datetimeoffset"sv, "smalldatetime"sv};

template <std::size_t N>
bool HasTypeNameIn(const Field& column, const std::array<std::string_view, N>& names) {
    return std::ranges::any_of(
        names, [&column](std::string_view name) { return HasTypeName(column, name); });
}

void AppendValueCases(ScriptBuffer& script, std::string_view rows, const Fields& columns,
                      const NameForms& forms) {
    const std::int32_t last = LastPosition(columns);
    for (std::int32_t p = 0; p <= last; ++p) {
        const Field& column = columns.Item(p);
        AppendValueCase(script, rows, column, forms.at(static_cast<std::size_t>(p)));
    }
}

// True when the catalog describes the key as an identity column, which no update can change.
bool KeyIsIdentity(std::string_view keyColumn, const CatalogColumns& catalog) {
    const Field* key = catalog.Find(keyColumn);
    return key != nullptr && key->Facts->identity;
}

// The text inside a RAISERROR message literal: quotes doubled, and % doubled, which would
// otherwise start a format.
std::string RaiserrorText(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        escaped.push_back(c);
        if (c == '\'' || c == '%') {
            escaped.push_back(c);
        }
    }
    return escaped;
}

// The trigger matches the item rows by their key: an update that changes it would set the new
// values on another row, or on none. More than one row naming the key cannot be told apart from
// rows swapping their keys, so such an update is refused too.
void AppendKeyChangeRefusal(ScriptBuffer& script, std::string_view itemTable,
                            std::string_view keyColumn) {
    script.AppendLine("IF UPDATE(", keyColumn,
                      ") AND ((SELECT COUNT(*) FROM INSERTED) > 1 OR EXISTS (SELECT ", keyColumn,
                      " FROM INSERTED EXCEPT SELECT ", keyColumn, " FROM DELETED))");
    script.AppendScriptLine("BEGIN");
    script.AppendLine(
        "    RAISERROR(N'", RaiserrorText(itemTable), ": an update may not change the key column ",
        RaiserrorText(keyColumn),
        ", by which the audit trigger finds the row. The update was rolled back.', 16, 1)");
    script.AppendScriptLine("    ROLLBACK TRANSACTION");
    script.AppendScriptLine("    RETURN");
    script.AppendScriptLine("END");
    script.AppendScriptLine("");
}

// The CREATE TRIGGER line and the declarations of the trigger's variables.
void AppendTriggerHead(ScriptBuffer& script, std::string_view itemTable,
                       std::string_view auditTable) {
    script.AppendLine("CREATE TRIGGER QLX_", auditTable, " ON ", itemTable);
    script.AppendScriptLine("INSTEAD OF UPDATE");
    script.AppendScriptLine("AS");
    script.AppendScriptLine("BEGIN");
    script.AppendScriptLine("");
    script.AppendScriptLine("SET NOCOUNT ON");
    script.AppendScriptLine("");
    script.AppendScriptLine(
        "DECLARE @CurrentCol DECIMAL, @TotalCol DECIMAL, @CurrentColName NVARCHAR(384), "
        "@Flag BIT, @QLXUserID NVARCHAR(40)");
    script.AppendScriptLine("");
}

// Reads the columns in order for the SET list, noting each one's form for the later blocks, up
// to each that an UPDATE may set.
class SettableColumns {
  public:
    SettableColumns(const Fields& columns, std::int32_t last, const CatalogColumns& catalog,
                    const TableFacts& table)
        : columns_(columns), last_(last), catalog_(catalog), table_(table) {
        forms_.reserve(static_cast<std::size_t>(std::clamp(last + 1, 0, kMostColumnsReserved)));
    }

    // The position of the first column from `from` on that an UPDATE may set; last + 1 when none
    // can be.
    std::int32_t Next(std::int32_t from) {
        for (std::int32_t p = from; p <= last_; ++p) {
            const Field& column = columns_.Item(p);
            forms_.push_back(NameFormOf(column, catalog_, table_));
            if (CanBeSet(catalog_.Described(column), table_)) {
                found_ = &column;
                return p;
            }
        }
        return last_ + 1;
    }

    // The column Next found last, and its form.
    const Field& Found() const { return *found_; }
    const NameForm& FoundForm() const { return forms_.back(); }

    NameForms TakeForms() { return std::move(forms_); }

  private:
    const Fields& columns_;
    std::int32_t last_;
    const CatalogColumns& catalog_;
    const TableFacts& table_;
    NameForms forms_;
    const Field* found_ = nullptr;
};

[[noreturn]] void RefuseTableWithoutSettableColumn(std::string_view itemTable) {
    // A trigger that sets nothing would throw away every update of the table.
    throw Error(kErrNoColumnToSet,
                "No column of " + EscapedForMessage(itemTable) +
                    " can be set by an UPDATE (every one is an identity, computed or "
                    "rowversion column): the trigger would discard every update");
}

// Block A: the SET list, every column that an UPDATE may set, ending the UPDATE's line; returns
// every column's form. The comma closes each entry's line but the last, so it is written when
// the next entry comes.
NameForms AppendSetList(ScriptBuffer& script, std::string_view itemTable, const Fields& columns,
                        std::int32_t last, const CatalogColumns& catalog, const TableFacts& table) {
    if (last >= 0) {
        // Room made at once saves the copies of a growing buffer; a caller that knows the names
        // may have made more.
        script.Reserve(static_cast<std::size_t>(std::min(last + 1, kMostColumnsReserved)) *
                       kBytesPerColumn);
    }
    SettableColumns settable(columns, last, catalog, table);
    std::int32_t p = settable.Next(0);
    if (p > last && last >= 0) {
        RefuseTableWithoutSettableColumn(itemTable);
    }
    while (p <= last) {
        std::string quoted;
        const std::string_view identifier =
            IdentifierOf(settable.Found().Name, settable.FoundForm(), quoted);
        script.AppendScriptText("    ");
        script.AppendScriptText(identifier);
        script.AppendScriptText(" = INSERTED.");
        script.AppendScriptText(identifier);
        if (p == last) {
            break;
        }
        std::int32_t next = 0;
        try {
            next = settable.Next(p + 1);
        } catch (...) {
            // The entry's line was ended before the next column was read: the lines written
            // before a failing read stay as they were.
            script.AppendScriptLine(",");
            throw;
        }
        if (next > last) {
            break;
        }
        script.AppendScriptLine(",");
        p = next;
    }
    script.AppendScriptLine("");
    return settable.TakeForms();
}

// Block B: the user the audit rows name. Without an editor column it is the text 'Null'.
void AppendEditingUser(ScriptBuffer& script, const Fields& columns, std::int32_t last) {
    script.AppendScriptLine("SET @QLXUserID='Null'");
    // The triggers in use carry this line; keeping it keeps the scripts the same, byte for byte.
    script.AppendScriptLine("-- SELECT @QLXUserID=INSERTED.uuEditedBy FROM INSERTED");
    // Position 0 is passed over, as the triggers in use do: an item table's first column is its
    // key, so an editor column there is not taken for the editor. The last editor column wins.
    for (std::int32_t p = 1; p <= last; ++p) {
        const Field& column = columns.Item(p);
        if (IsEditorColumn(column.Name)) {
            script.AppendLine("SELECT @QLXUserID=INSERTED.", column.Name, " FROM INSERTED");
        }
    }
    script.AppendScriptLine("");
}

// The loop over the column ids up to the highest: a dropped column leaves a gap in them, which
// COL_NAME answers with NULL. The system names are in lower case, as a case-sensitive database
// knows them.
void AppendColumnLoopHead(ScriptBuffer& script, std::string_view itemTable) {
    const std::string tableInLiteral = itemTable.find('\'') != std::string_view::npos
                                           ? QuoteLiteral(itemTable)
                                           : std::string(itemTable);
    const std::string_view tableOpening = LiteralOpening(!text::IsAscii(itemTable));
    script.AppendScriptLine("SELECT @TotalCol=MAX(syscolumns.colid)");
    script.AppendScriptLine("From sysobjects, syscolumns");
    script.AppendLine("WHERE sysobjects.id = syscolumns.id AND sysobjects.name = ", tableOpening,
                      tableInLiteral, "'");
    script.AppendScriptLine("");
    script.AppendScriptLine("SET @CurrentCol=1");
    script.AppendScriptLine("WHILE (@CurrentCol<=@TotalCol)");
    script.AppendScriptLine("BEGIN");
    script.AppendLine("    SET @CurrentColName=COL_NAME(OBJECT_ID(", tableOpening, tableInLiteral,
                      "'), @CurrentCol)");
    script.AppendScriptLine("    SET @Flag=0");
}

// Block C: the logged columns flag themselves when the UPDATE names them.
void AppendUpdateFlags(ScriptBuffer& script, std::string_view keyColumn, const Fields& columns,
                       std::int32_t last, const NameForms& forms) {
    for (std::int32_t p = 0; p <= last; ++p) {
        const Field& column = columns.Item(p);
        const NameForm& form = forms.at(static_cast<std::size_t>(p));
        if (!IsLoggedColumn(column.Name, keyColumn) || !form.namedInUpdate) {
            continue;
        }
        std::string quoted;
        std::string quotedLiteral;
        script.AppendLine("    IF UPDATE(", IdentifierOf(column.Name, form, quoted),
                          ") AND (@CurrentColName= ", LiteralOpening(form.unicode),
                          LiteralOf(column.Name, form, quotedLiteral), "')  SET @Flag=1");
    }
}

// The audit row of a flagged column, with its old and new values as text.
void AppendAuditRow(ScriptBuffer& script, std::string_view auditTable, std::string_view keyColumn,
                    std::string_view displayColumn, const Fields& columns, const NameForms& forms) {
    script.AppendScriptLine("    IF(@Flag=1)");
    script.AppendScriptLine("    BEGIN");
    script.AppendLine("        INSERT INTO ", auditTable,
                      " (QLXUserID,ItemIntID,DisplayName,FieldName,OldValue,NewValue)");
    // The display value and the column's name are cut to what the audit table holds: a longer
    // one would fail the user's update.
    script.AppendLine("        SELECT  @QLXUserID,INSERTED.", keyColumn, ",CAST(INSERTED.",
                      displayColumn, " AS NVARCHAR(80)),LEFT(@CurrentColName, 40),");
    script.AppendScriptLine("        CASE @CurrentColName");
    AppendValueCases(script, "DELETED", columns, forms);
    script.AppendScriptLine("        END,");
    script.AppendScriptLine("        CASE @CurrentColName");
    AppendValueCases(script, "INSERTED", columns, forms);
    script.AppendScriptLine("        END");
    script.AppendScriptLine("        From INSERTED, DELETED");
    script.AppendLine("        Where (INSERTED.", keyColumn, " = DELETED.", keyColumn, ")");
    script.AppendScriptLine("    END");
}

}  // namespace

std::string AuditTableName(std::string_view itemTable) {
    std::string name = "AuditTrail";
    name.append(itemTable);
    return name;
}

std::string_view BuiltInKeyColumn(std::string_view itemTable) {
    const std::string normalised = text::AsciiLower(text::Trim(itemTable, " "));
    const auto row = std::ranges::find(kKeyColumns, normalised,
                                       &std::pair<std::string_view, std::string_view>::first);
    return row != kKeyColumns.end() ? row->second : std::string_view();
}

std::span<const std::string_view> ListedItemTables() {
    return kListedItemTables;
}

std::string_view ListedItemTableSpelling(std::string_view itemTable) {
    const auto listed = std::ranges::find_if(kListedItemTables, [itemTable](std::string_view name) {
        return text::EqualsIgnoringAsciiCase(name, itemTable);
    });
    return listed != kListedItemTables.end() ? *listed : itemTable;
}

std::string GetKeyColumn(DatabaseSession& session, std::string_view itemTable) {
    const std::string_view keyColumn = BuiltInKeyColumn(itemTable);
    return session.UppercaseIdentifiers() ? text::AsciiUpper(keyColumn) : std::string(keyColumn);
}

std::string GetDisplayColumn(std::string_view itemTable) {
    if (itemTable == "Companies") {
        return "CompanyName";
    }
    if (itemTable == "Requirements") {
        return "ReqID";
    }
    return "DisplayName";
}

bool IsTextType(std::int32_t adoType) {
    return adoType == ado::adVarChar || adoType == ado::adLongVarChar ||
           adoType == ado::adVarWChar || adoType == ado::adLongVarWChar;
}

bool IsLoggedColumn(std::string_view name, std::string_view keyColumn) {
    return !IsEditorColumn(name) && name != "EditDate" && name != keyColumn;
}

bool HasTypeName(const Field& column, std::string_view name) {
    return text::EqualsIgnoringAsciiCase(column.Facts->typeName, name);
}

bool IsRowVersion(const Field& column) {
    return !column.Facts->typeName.empty() &&
           (HasTypeName(column, "rowversion") ||
            (HasTypeName(column, "timestamp") && IsBinaryType(column.Type)));
}

CatalogColumns::CatalogColumns(const TableFacts& table) {
    byName_.reserve(table.catalogColumns.size());
    for (const Field& column : table.catalogColumns) {
        byName_.emplace(text::AsciiLower(column.Name), &column);
    }
}

const Field* CatalogColumns::Find(std::string_view name) const {
    if (byName_.empty()) {
        return nullptr;
    }
    // The catalog may fold names to lower case; SQL Server resolves them without regard to ASCII
    // case in its usual collations.
    const auto found = byName_.find(text::AsciiLower(name));
    return found != byName_.end() ? found->second : nullptr;
}

const Field& CatalogColumns::Described(const Field& column) const {
    const Field* described = Find(column.Name);
    return described != nullptr ? *described : column;
}

bool CanBeSet(const Field& described, const TableFacts& table) {
    // Most tables have no computed column: their names are not compared.
    return !described.Facts->identity && !described.Facts->computed && !IsRowVersion(described) &&
           (table.computedColumns.empty() || !table.IsComputed(described.Name));
}

bool CanBeNamedInUpdate(const Field& described, const TableFacts& table) {
    return !described.Facts->computed && !IsRowVersion(described) &&
           (table.computedColumns.empty() || !table.IsComputed(described.Name));
}

ValueForm ValueFormOf(const Field& described) {
    using Kind = ValueForm::Kind;
    if (!described.Facts->typeName.empty()) {
        // The server's type name knows better than the type a driver reports.
        if (HasTypeNameIn(described, kTypesLoggedWhole)) {
            return {Kind::Cast, "NVARCHAR(MAX)"};
        }
        if (HasTypeName(described, "image")) {
            return {Kind::Hexadecimal, {}};
        }
        if (HasTypeNameIn(described, kDateAndTimeTypes)) {
            return {Kind::Cast, "NVARCHAR(20)"};
        }
        if (HasTypeName(described, "uniqueidentifier")) {
            return {Kind::Cast, "NVARCHAR(36)"};
        }
    }
    if (described.Type == ado::adLongVarChar) {
        return {Kind::Cast, "NVARCHAR(MAX)"};  // text and varchar(max)
    }
    if (IsTextType(described.Type)) {
        return {};
    }
    if (described.Type == ado::adGUID) {
        return {Kind::Cast, "NVARCHAR(36)"};
    }
    if (described.Type == ado::adNumeric || described.Type == ado::adDecimal) {
        const std::int32_t precision = std::min(described.Facts->size, kMostDecimalDigits);
        const std::int32_t scale = described.Facts->scale;
        // Wide decimals keep room for a point whatever their scale.
        const std::int32_t characters =
            precision > kDigitsFittingDefaultCast
                ? precision + 2 + (scale > 0 && scale >= precision ? 1 : 0)
                : DecimalCharacters(precision, scale);
        if (characters > kDefaultCastCharacters) {
            return {Kind::Cast, kWideDecimalCasts[static_cast<std::size_t>(
                                    characters - kDefaultCastCharacters - 1)]};
        }
    }
    return {Kind::Cast, "NVARCHAR(20)"};
}

std::vector<std::string_view> AuditTableColumnNames() {
    std::vector<std::string_view> names;
    for (const std::string_view line : kAuditTableColumns) {
        const auto open = line.find('[');
        names.push_back(line.substr(open + 1, line.find(']') - open - 1));
    }
    return names;
}

std::string AuditTriggerName(std::string_view itemTable) {
    return "QLX_" + AuditTableName(itemTable);
}

void WriteAuditTableScript(ScriptBuffer& script, std::string_view auditTable) {
    script.AppendLine("CREATE TABLE [dbo].[", auditTable, "] (");
    for (const std::string_view column : kAuditTableColumns) {
        script.AppendScriptLine(column);
    }
    script.AppendScriptLine(") ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]");
    script.AppendScriptLine("GO");
    script.AppendScriptLine("");
    script.AppendLine("ALTER TABLE [dbo].[", auditTable, "] WITH NOCHECK ADD");
    script.AppendLine("    CONSTRAINT [DF_", auditTable,
                      "_SQLLoginID] DEFAULT (suser_sname()) FOR [SQLLoginID],");
    script.AppendLine("    CONSTRAINT [DF_", auditTable,
                      "_TransDate] DEFAULT (getdate()) FOR [TransDate],");
    script.AppendLine("    CONSTRAINT [PK_", auditTable, "] PRIMARY KEY  CLUSTERED");
    script.AppendScriptLine("    (");
    script.AppendScriptLine("        [AutoNumber]");
    script.AppendScriptLine("    )  ON [PRIMARY]");
    script.AppendScriptLine("GO");
    script.AppendScriptLine("");
}

void WriteAuditTriggerScript(ScriptBuffer& script, std::string_view itemTable,
                             std::string_view auditTable, std::string_view keyColumn,
                             std::string_view displayColumn, const Fields& columns,
                             const TableFacts& table) {
    const CatalogColumns catalog(table);
    AppendTriggerHead(script, itemTable, auditTable);
    if (!keyColumn.empty() && !KeyIsIdentity(keyColumn, catalog)) {
        AppendKeyChangeRefusal(script, itemTable, keyColumn);
    }

    // The trigger carries out the update itself, row by row matched by the key.
    script.AppendLine("UPDATE ", itemTable, " SET");
    const std::int32_t last = LastPosition(columns);
    const NameForms forms = AppendSetList(script, itemTable, columns, last, catalog, table);
    script.AppendScriptLine("    From INSERTED");
    script.AppendLine("    Where (", itemTable, ".", keyColumn, " = INSERTED.", keyColumn, ")");
    script.AppendScriptLine("");

    AppendEditingUser(script, columns, last);
    AppendColumnLoopHead(script, itemTable);
    AppendUpdateFlags(script, keyColumn, columns, last, forms);
    AppendAuditRow(script, auditTable, keyColumn, displayColumn, columns, forms);
    script.AppendScriptLine("    SET @CurrentCol=@CurrentCol+1");
    script.AppendScriptLine("END");
    script.AppendScriptLine("");
    script.AppendScriptLine("SET NOCOUNT OFF");
    script.AppendScriptLine("END");
    script.AppendScriptLine("GO");
}

void WriteRemovalScript(ScriptBuffer& script, std::string_view itemTable, bool dropAuditTable) {
    const std::string auditTable = AuditTableName(itemTable);
    script.AppendLine("IF OBJECT_ID(N'QLX_", auditTable, "', N'TR') IS NOT NULL");
    script.AppendLine("    DROP TRIGGER QLX_", auditTable);
    script.AppendScriptLine("GO");
    if (dropAuditTable) {
        script.AppendLine("IF OBJECT_ID(N'[dbo].[", auditTable, "]', N'U') IS NOT NULL");
        script.AppendLine("    DROP TABLE [dbo].[", auditTable, "]");
        script.AppendScriptLine("GO");
    }
}

}  // namespace qelt
