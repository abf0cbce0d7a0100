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

constexpr std::int32_t kErrOverflow = 6;
// The least a column adds to the trigger: four lines with its name twice and some 50 bytes.
constexpr std::size_t kBytesPerColumn = 256;
// Room is made for at most this many columns (SQL Server's widest tables have 30,000): a count
// that the reads then do not bear out must not reserve gigabytes first.
constexpr std::int32_t kMostColumnsReserved = 32768;

// The item tables the window lists, in their own spelling.
constexpr std::array kListedItemTables = {"Companies"sv, "Contacts"sv, "Consultants"sv,
                                          "Requirements"sv};

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

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
    bool regular;   // a regular identifier, written without brackets
    bool hasQuote;  // holds a ' that a literal must double
};
using NameForms = std::vector<NameForm>;

NameForm NameFormOf(std::string_view name) {
    return {IsRegularIdentifier(name), name.find('\'') != std::string_view::npos};
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
    if (const std::string_view castType = CastTypeOf(column); castType.empty()) {
        script.AppendLine("            WHEN '", literal, "' THEN ", rows, ".", identifier);
    } else {
        script.AppendLine("            WHEN '", literal, "' THEN CAST(", rows, ".", identifier,
                          " AS ", castType, ")");
    }
}

bool IsBinaryType(std::int32_t adoType) {
    return adoType == ado::adBinary || adoType == ado::adVarBinary;
}

// Decimals of up to this many digits, with sign and point, fit the default NVARCHAR(20).
constexpr std::int32_t kDigitsFittingDefaultCast = 18;
constexpr std::int32_t kMostDecimalDigits = 38;
// The casts of decimals of 19 to 38 digits: precision + 2.
constexpr std::array<std::string_view, kMostDecimalDigits - kDigitsFittingDefaultCast>
    kWideDecimalCasts = {"NVARCHAR(21)", "NVARCHAR(22)", "NVARCHAR(23)", "NVARCHAR(24)",
                         "NVARCHAR(25)", "NVARCHAR(26)", "NVARCHAR(27)", "NVARCHAR(28)",
                         "NVARCHAR(29)", "NVARCHAR(30)", "NVARCHAR(31)", "NVARCHAR(32)",
                         "NVARCHAR(33)", "NVARCHAR(34)", "NVARCHAR(35)", "NVARCHAR(36)",
                         "NVARCHAR(37)", "NVARCHAR(38)", "NVARCHAR(39)", "NVARCHAR(40)"};

void AppendValueCases(ScriptBuffer& script, std::string_view rows, const Fields& columns,
                      const NameForms& forms) {
    const std::int32_t last = LastPosition(columns);
    for (std::int32_t p = 0; p <= last; ++p) {
        const Field& column = columns.Item(p);
        AppendValueCase(script, rows, column, forms.at(static_cast<std::size_t>(p)));
    }
}

}  // namespace

std::string AuditTableName(std::string_view itemTable) {
    std::string name = "AuditTrail";
    name.append(itemTable);
    return name;
}

std::string_view BuiltInKeyColumn(std::string_view itemTable) {
    const std::string normalised = text::AsciiLower(TrimSpaces(itemTable));
    const auto row = std::ranges::find(kKeyColumns, normalised,
                                       &std::pair<std::string_view, std::string_view>::first);
    return row != kKeyColumns.end() ? row->second : std::string_view();
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

bool CanBeSet(const Field& column, const TableFacts& table) {
    // Most tables have no computed column: their names are not compared.
    return !column.Facts->identity && !column.Facts->computed && !IsRowVersion(column) &&
           (table.computedColumns.empty() || !table.IsComputed(column.Name));
}

std::string_view CastTypeOf(const Field& column) {
    const bool named = !column.Facts->typeName.empty();
    if (named && HasTypeName(column, "xml")) {
        return "NVARCHAR(MAX)";
    }
    if (IsTextType(column.Type)) {
        return {};
    }
    if (named && HasTypeName(column, "sql_variant")) {
        return "NVARCHAR(4000)";
    }
    if (column.Type == ado::adGUID) {
        return "NVARCHAR(36)";
    }
    if ((column.Type == ado::adNumeric || column.Type == ado::adDecimal) &&
        column.Facts->size > kDigitsFittingDefaultCast) {
        // At most 38 digits: a sign and a decimal point more always fit.
        return kWideDecimalCasts[static_cast<std::size_t>(
            std::min(column.Facts->size, kMostDecimalDigits) - kDigitsFittingDefaultCast - 1)];
    }
    return "NVARCHAR(20)";
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
    script.AppendLine("UPDATE ", itemTable, " SET");

    // Block A: the SET list, every column that an UPDATE may set; the comma closes each entry's
    // line but the last, so it is written when the next entry comes.
    const std::int32_t last = LastPosition(columns);
    if (last >= 0) {
        // Room made at once saves the copies of a growing buffer; a caller that knows the names
        // may have made more.
        script.Reserve(static_cast<std::size_t>(std::min(last + 1, kMostColumnsReserved)) *
                       kBytesPerColumn);
    }
    NameForms forms;
    forms.reserve(static_cast<std::size_t>(std::clamp(last + 1, 0, kMostColumnsReserved)));
    // Reads the columns from `from` on, noting each one's form, up to the first that an UPDATE
    // may set; last + 1 when none can be.
    const Field* settable = nullptr;  // the column found last
    const auto nextSettable = [&](std::int32_t from) {
        for (std::int32_t p = from; p <= last; ++p) {
            const Field& column = columns.Item(p);
            forms.push_back(NameFormOf(column.Name));
            if (CanBeSet(column, table)) {
                settable = &column;
                return p;
            }
        }
        return last + 1;
    };
    std::int32_t p = nextSettable(0);
    if (p > last && last >= 0) {
        // No column can be set, and a SET list cannot be empty: the UPDATE sets a variable.
        script.AppendScriptText("    @Flag = 0");
    }
    while (p <= last) {
        std::string quoted;
        const std::string_view identifier = IdentifierOf(settable->Name, forms.back(), quoted);
        script.AppendScriptText("    ");
        script.AppendScriptText(identifier);
        script.AppendScriptText(" = INSERTED.");
        script.AppendScriptText(identifier);
        if (p == last) {
            break;
        }
        std::int32_t next = 0;
        try {
            next = nextSettable(p + 1);
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

    script.AppendScriptLine("    From INSERTED");
    script.AppendLine("    Where (", itemTable, ".", keyColumn, " = INSERTED.", keyColumn, ")");
    script.AppendScriptLine("");
    script.AppendScriptLine("SET @QLXUserID='Null'");
    script.AppendScriptLine("-- SELECT @QLXUserID=INSERTED.uuEditedBy FROM INSERTED");

    // Block B: the editor columns after the first position set the user variable.
    for (std::int32_t p = 1; p <= last; ++p) {
        const Field& column = columns.Item(p);
        if (IsEditorColumn(column.Name)) {
            script.AppendLine("SELECT @QLXUserID=INSERTED.", column.Name, " FROM INSERTED");
        }
    }

    script.AppendScriptLine("");
    script.AppendScriptLine("SELECT @TotalCol=COUNT(*)");
    script.AppendScriptLine("From SysObjects, SysColumns");
    script.AppendLine("WHERE SysObjects.ID = SysColumns.ID AND SysObjects.name = '", itemTable,
                      "'");
    script.AppendScriptLine("");
    script.AppendScriptLine("SET @CurrentCol=1");
    script.AppendScriptLine("WHILE (@CurrentCol<=@TotalCol)");
    script.AppendScriptLine("BEGIN");
    script.AppendLine("    SET @CurrentColName=COL_NAME(OBJECT_ID('", itemTable,
                      "'), @CurrentCol)");
    script.AppendScriptLine("    SET @Flag=0");

    // Block C: the logged columns flag themselves when the UPDATE names them.
    for (std::int32_t p = 0; p <= last; ++p) {
        const Field& column = columns.Item(p);
        if (!IsLoggedColumn(column.Name, keyColumn)) {
            continue;
        }
        const NameForm form = forms.at(static_cast<std::size_t>(p));
        std::string quoted;
        std::string quotedLiteral;
        script.AppendLine("    IF UPDATE(", IdentifierOf(column.Name, form, quoted),
                          ") AND (@CurrentColName= '", LiteralOf(column.Name, form, quotedLiteral),
                          "')  SET @Flag=1");
    }

    script.AppendScriptLine("    IF(@Flag=1)");
    script.AppendScriptLine("    BEGIN");
    script.AppendLine("        INSERT INTO ", auditTable,
                      " (QLXUserID,ItemIntID,DisplayName,FieldName,OldValue,NewValue)");
    script.AppendLine("        SELECT  @QLXUserID,INSERTED.", keyColumn, ",INSERTED.",
                      displayColumn, ",@CurrentColName,");
    script.AppendScriptLine("        CASE @CurrentColName");
    AppendValueCases(script, "DELETED", columns, forms);
    script.AppendScriptLine("        END,");
    script.AppendScriptLine("        CASE @CurrentColName");
    AppendValueCases(script, "INSERTED", columns, forms);
    script.AppendScriptLine("        END");
    script.AppendScriptLine("        From INSERTED, DELETED");
    script.AppendLine("        Where (INSERTED.", keyColumn, " = DELETED.", keyColumn, ")");
    script.AppendScriptLine("    END");
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
