// The scripts run on a T-SQL engine, as an administrator runs them: the table is made, qeltaudit
// reads it through FreeTDS, its script is installed batch by batch, then an application's updates
// run and the item table and the audit log are read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "support/CliRun.h"
#include "support/TempFolder.h"
#include "support/TsqlEngine.h"
#include "tsql/EngineTest.h"

namespace qelt::test {
namespace {

std::optional<std::string> Text(const char* text) {
    return std::string(text);
}

class ScriptOnEngineTest : public EngineTest {
  protected:
    // The worked example's table, with two rows.
    void MakeCompanies() {
        MakeTable("Companies",
                  "CompanyIntID NVARCHAR(10) NOT NULL PRIMARY KEY, CompanyName NVARCHAR(80), "
                  "Employees INT, EditedBy NVARCHAR(40), EditDate DATETIME");
        Exec(
            "INSERT INTO Companies VALUES (N'1', N'Acme', 10, N'ann', NULL), "
            "(N'2', N'Bolt', 20, N'bob', NULL)");
    }

    // qeltaudit's script for the table, read through FreeTDS.
    std::string ScriptFor(const std::string& table, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--database", connectionString_, "--table", table};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliResult run = RunCli(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    // The audit rows in the order they were written: user, key, display, field, old, new.
    Rows AuditRows(const std::string& table) {
        return Exec(
            "SELECT QLXUserID, ItemIntID, DisplayName, FieldName, "
            "CAST(OldValue AS NVARCHAR(MAX)), CAST(NewValue AS NVARCHAR(MAX)) FROM AuditTrail" +
            table + " ORDER BY AutoNumber");
    }
};

TEST_F(ScriptOnEngineTest, WorkedExampleTableLogsEachChangedColumn) {
    MakeCompanies();
    Install(ScriptFor("Companies"));

    Exec("UPDATE Companies SET Employees = 11, EditedBy = N'carl' WHERE CompanyIntID = N'1'");

    EXPECT_EQ(Exec("SELECT CompanyIntID, CompanyName, CAST(Employees AS NVARCHAR(20)), EditedBy "
                   "FROM Companies ORDER BY CompanyIntID"),
              (Rows{{Text("1"), Text("Acme"), Text("11"), Text("carl")},
                    {Text("2"), Text("Bolt"), Text("20"), Text("bob")}}));
    EXPECT_EQ(AuditRows("Companies"),
              (Rows{{Text("carl"), Text("1"), Text("Acme"), Text(EngineName("Employees").c_str()),
                     Text("10"), Text("11")}}));
}

TEST_F(ScriptOnEngineTest, KeyChangeIsRefusedAndRolledBack) {
    MakeCompanies();
    Install(ScriptFor("Companies"));

    const struct {
        const char* name;
        const char* update;
    } refused[] = {
        {"new key", "UPDATE Companies SET CompanyIntID = N'3' WHERE CompanyIntID = N'1'"},
        {"taken key", "UPDATE Companies SET CompanyIntID = N'2' WHERE CompanyIntID = N'1'"},
        {"swapped keys",
         "UPDATE Companies SET CompanyIntID = CASE CompanyIntID WHEN N'1' THEN "
         "N'2' ELSE N'1' END"},
    };
    for (const auto& update : refused) {
        const BatchResult result = engine_->Run(update.update);
        ASSERT_TRUE(result.Failed()) << update.name;
        EXPECT_NE(result.errors[0].find("Companies: an update may not change the key column "
                                        "CompanyIntID"),
                  std::string::npos)
            << update.name << ": " << result.errors[0];
    }
    // A key set to the value it has is no change.
    Exec("UPDATE Companies SET CompanyIntID = N'2', Employees = 21 WHERE CompanyIntID = N'2'");

    EXPECT_EQ(Exec("SELECT CompanyIntID, CompanyName, CAST(Employees AS NVARCHAR(20)) FROM "
                   "Companies ORDER BY CompanyIntID"),
              (Rows{{Text("1"), Text("Acme"), Text("10")}, {Text("2"), Text("Bolt"), Text("21")}}));
    EXPECT_EQ(AuditRows("Companies"),
              (Rows{{Text("bob"), Text("2"), Text("Bolt"), Text(EngineName("Employees").c_str()),
                     Text("20"), Text("21")}}));
}

TEST_F(ScriptOnEngineTest, MultiRowAndPerColumnUpdatesLogEveryRowAndColumn) {
    MakeTable(
        "Contacts",
        "ContactIntID INT NOT NULL PRIMARY KEY, DisplayName NVARCHAR(100), "
        "Email NVARCHAR(120), Mobile NVARCHAR(30), uuEditedBy NVARCHAR(50), EditDate DATETIME");
    Exec(
        "INSERT INTO Contacts VALUES (1, N'Ann', N'a@x', N'1', N'u1', NULL), "
        "(2, N'Bob', N'b@x', N'2', N'u2', NULL), (3, N'Cy', N'c@x', N'3', N'u3', NULL)");
    Install(ScriptFor("Contacts"));

    Exec("UPDATE Contacts SET Email = N'all@x' WHERE ContactIntID <= 2");
    Exec("UPDATE Contacts SET Mobile = N'9' WHERE ContactIntID = 3");

    EXPECT_EQ(Exec("SELECT CAST(ContactIntID AS NVARCHAR(10)), Email, Mobile FROM Contacts ORDER "
                   "BY ContactIntID"),
              (Rows{{Text("1"), Text("all@x"), Text("1")},
                    {Text("2"), Text("all@x"), Text("2")},
                    {Text("3"), Text("c@x"), Text("9")}}));
    Rows audit = Exec(
        "SELECT ItemIntID, DisplayName, FieldName, CAST(OldValue AS NVARCHAR(MAX)), "
        "CAST(NewValue AS NVARCHAR(MAX)) FROM AuditTrailContacts ORDER BY "
        "AutoNumber");
    // The rows of one update come in no set order.
    std::sort(audit.begin(), audit.begin() + std::min<std::ptrdiff_t>(2, std::ssize(audit)));
    const std::optional<std::string> email = EngineName("Email");
    const std::optional<std::string> mobile = EngineName("Mobile");
    EXPECT_EQ(audit, (Rows{{Text("1"), Text("Ann"), email, Text("a@x"), Text("all@x")},
                           {Text("2"), Text("Bob"), email, Text("b@x"), Text("all@x")},
                           {Text("3"), Text("Cy"), mobile, Text("3"), Text("9")}}));
}

struct DemoTable {
    std::string name;
    std::string definition;  // the demo database's table in SQL Server's types
    std::string row;
    std::string update;  // of one logged column of the row
    std::string field;   // the column it names
    std::optional<std::string> oldValue;
    std::optional<std::string> newValue;
};

class DemoTableOnEngine : public ScriptOnEngineTest,
                          public ::testing::WithParamInterface<DemoTable> {};

// Each of the window's four tables, read through FreeTDS, takes its script, and an update of one
// column gives one audit row.
TEST_P(DemoTableOnEngine, TakesItsScriptAndLogsAnUpdate) {
    const DemoTable& demo = GetParam();
    MakeTable(demo.name, demo.definition);
    Exec("INSERT INTO " + demo.name + " VALUES (" + demo.row + ")");
    Install(ScriptFor(demo.name));
    Exec(demo.update);
    const Rows audit = Exec(
        "SELECT FieldName, CAST(OldValue AS NVARCHAR(MAX)), "
        "CAST(NewValue AS NVARCHAR(MAX)) FROM AuditTrail" +
        demo.name);
    EXPECT_EQ(audit, (Rows{{EngineName(demo.field), demo.oldValue, demo.newValue}}));
}

INSTANTIATE_TEST_SUITE_P(
    Demo, DemoTableOnEngine,
    ::testing::Values(
        DemoTable{"Companies",
                  "CompanyIntID INT PRIMARY KEY, CompanyName NVARCHAR(100) NOT NULL, Address "
                  "NTEXT, City NVARCHAR(50), Phone NVARCHAR(30), Employees INT, Turnover FLOAT, "
                  "IsCustomer BIT NOT NULL DEFAULT 0, CreateDate DATETIME, uuEditedBy "
                  "NVARCHAR(50), EditDate DATETIME",
                  "1, N'Harbour Freight Lines', N'12 Quay Street', N'Bristol', N'+44', 240, "
                  "18500000.0, 1, '2019-03-04 09:12:00', N'mpalmer', NULL",
                  "UPDATE Companies SET Address = N'14 Quay Street', uuEditedBy = N'jk' WHERE "
                  "CompanyIntID = 1",
                  "Address", "12 Quay Street", "14 Quay Street"},
        DemoTable{"Contacts",
                  "ContactIntID INT PRIMARY KEY, CompanyIntID INT, DisplayName NVARCHAR(100) NOT "
                  "NULL, FirstName NVARCHAR(50), LastName NVARCHAR(50), JobTitle NVARCHAR(80), "
                  "Email NVARCHAR(120), Mobile NVARCHAR(30), BirthDate DATE, Notes NTEXT, "
                  "uuEditedBy NVARCHAR(50), EditDate DATETIME",
                  "3, 3, N'Tom O''Brien', N'Tom', N'O''Brien', N'Owner', N'tom@example.net', "
                  "NULL, NULL, N'Met at the trade fair.', N'mpalmer', NULL",
                  "UPDATE Contacts SET BirthDate = '1970-05-06' WHERE ContactIntID = 3",
                  "BirthDate", std::nullopt, "1970-05-06"},
        DemoTable{"Consultants",
                  "ConsIntID INT PRIMARY KEY, DisplayName NVARCHAR(100) NOT NULL, Initials "
                  "NVARCHAR(8), Email NVARCHAR(120), DailyRate FLOAT, Active BIT NOT NULL "
                  "DEFAULT 1, StartDate DATE, EditedBy NVARCHAR(50), EditDate DATETIME",
                  "1, N'Maria Palmer', N'MP', N'm.palmer@example.com', 850.0, 1, '2015-09-01', "
                  "N'admin', NULL",
                  "UPDATE Consultants SET Active = 0 WHERE ConsIntID = 1", "Active", "1", "0"},
        DemoTable{
            "Requirements",
            "ReqIntID INT PRIMARY KEY, ReqID NVARCHAR(20) NOT NULL, CompanyIntID INT, "
            "ConsIntID INT, Title NVARCHAR(120), Description TEXT, Positions SMALLINT, "
            "Budget FLOAT, OpenDate DATE, CloseDate DATE, uuEditedBy NVARCHAR(50), "
            "EditDate DATETIME",
            "1, N'REQ-2024-017', 1, 1, N'Fleet scheduling lead', 'Lead the rollout.', 1, "
            "95000.0, '2024-09-01', NULL, N'mpalmer', NULL",
            "UPDATE Requirements SET Description = 'Lead the new rollout.' WHERE ReqIntID = 1",
            "Description", "Lead the rollout.", "Lead the new rollout."}),
    [](const ::testing::TestParamInfo<DemoTable>& info) { return info.param.name; });

// A table holding every kind of column that needs the script's care. The engine has no
// geography, geometry or hierarchyid columns: their casts are checked by the script tests.
constexpr const char* kEveryKindTable =
    "KindIntID INT IDENTITY(1,1) PRIMARY KEY, DisplayName NVARCHAR(200), Version ROWVERSION, "
    "Guid UNIQUEIDENTIFIER, Wide DECIMAL(38,10), Fraction DECIMAL(5,5), Cash MONEY, Ratio FLOAT, "
    "Stamp2 DATETIME2, StampOffset DATETIMEOFFSET, Day DATE, TimeOfDay TIME, OldText TEXT, "
    "OldNText NTEXT, LongText NVARCHAR(MAX), Bytes VARBINARY(50), Picture IMAGE, Doc XML, "
    "Variant SQL_VARIANT, Qty INT, Doubled AS (Qty * 2), 数量 INT, "
    "ThisColumnNameIsFortyOneCharactersLongXYZ INT, Dropped INT, LastOne NVARCHAR(20)";

// The same columns as a columns file tells them, after Dropped is dropped.
constexpr const char* kEveryKindColumns =
    "KindIntID\t3\tidentity\tprimary-key\n"
    "DisplayName\t202\tsize=200\n"
    "Version\t128\trowversion\ttype=timestamp\n"
    "Guid\t72\ttype=uniqueidentifier\n"
    "Wide\t131\ttype=decimal\tsize=38\tscale=10\n"
    "Fraction\t131\ttype=decimal\tsize=5\tscale=5\n"
    "Cash\t6\ttype=money\n"
    "Ratio\t5\ttype=float\n"
    "Stamp2\t202\ttype=datetime2\n"
    "StampOffset\t202\ttype=datetimeoffset\n"
    "Day\t202\ttype=date\n"
    "TimeOfDay\t202\ttype=time\n"
    "OldText\t201\ttype=text\n"
    "OldNText\t203\ttype=ntext\n"
    "LongText\t203\ttype=nvarchar\n"
    "Bytes\t204\ttype=varbinary\tsize=50\n"
    "Picture\t205\ttype=image\n"
    "Doc\t203\ttype=xml\n"
    "Variant\t12\ttype=sql_variant\n"
    "Qty\t3\n"
    "Doubled\t3\tcomputed\n"
    "数量\t3\n"
    "ThisColumnNameIsFortyOneCharactersLongXYZ\t3\n"
    "LastOne\t202\tsize=20\n";

class EveryKindOnEngine : public ScriptOnEngineTest,
                          public ::testing::WithParamInterface<const char*> {
  protected:
    // The script for the table, from the source the case names.
    std::string EveryKindScript() {
        const std::vector<std::string> columns = {
            "--table", "Kinds", "--key-column", "KindIntID", "--display-column", "DisplayName"};
        if (std::string(GetParam()) == "ReadThroughFreeTds") {
            return ScriptFor("Kinds",
                             {"--key-column", "KindIntID", "--display-column", "DisplayName"});
        }
        WriteFile(folder_.Path() / "kinds.columns", kEveryKindColumns);
        std::vector<std::string> args = {"--columns", (folder_.Path() / "kinds.columns").string()};
        args.insert(args.end(), columns.begin(), columns.end());
        const CliResult run = RunCli(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }
    TempFolder folder_;
};

// Whether the columns come from the server's catalog through FreeTDS or from a columns file that
// tells the same, the script installs and every settable column's update is set and logged.
TEST_P(EveryKindOnEngine, EveryKindOfColumnIsSetAndLogged) {
    MakeTable("Kinds", kEveryKindTable);
    Exec("ALTER TABLE Kinds DROP COLUMN Dropped");
    Exec(
        "INSERT INTO Kinds (DisplayName, Guid, Wide, Fraction, Cash, Ratio, Stamp2, StampOffset, "
        "Day, TimeOfDay, OldText, OldNText, LongText, Bytes, Picture, Doc, Variant, Qty, 数量, "
        "ThisColumnNameIsFortyOneCharactersLongXYZ, LastOne) VALUES (N'first', "
        "'6F9619FF-8B86-D011-B42D-00C04FC964FF', -1234567890123456789012345678.0123456789, "
        "-0.12345, 12.3456, 0.5, '2026-12-08 10:11:12.1234567', "
        "'2026-12-08 10:11:12.1234567 +01:00', '2026-12-08', '10:11:12', 'old text', N'old ntext', "
        "N'long', 0x0102, 0x0A0B, '<a>1</a>', 5, 1, 2, 3, N'last')");
    Install(EveryKindScript());

    const std::string longDisplay(100, 'd');
    Exec("UPDATE Kinds SET DisplayName = N'" + longDisplay +
         "', Wide = 9876543210987654321098765432.9876543210, Fraction = -0.54321, "
         "Stamp2 = '2027-01-02 03:04:05.7654321', Day = '2027-01-02', TimeOfDay = '03:04:05', "
         "OldText = 'new text', OldNText = N'new ntext', LongText = N'新しい', Bytes = 0x0304, "
         "Picture = 0x0C0D, Doc = '<b>2</b>', Guid = '7F9619FF-8B86-D011-B42D-00C04FC964FF', "
         "Qty = 7, 数量 = 8, ThisColumnNameIsFortyOneCharactersLongXYZ = 9, LastOne = N'end'");

    const Rows table = Exec(
        "SELECT DisplayName, CAST(Wide AS NVARCHAR(50)), CAST(Doubled AS NVARCHAR(20)), "
        "CAST(LongText AS NVARCHAR(MAX)), CAST(数量 AS NVARCHAR(20)), LastOne FROM Kinds");
    EXPECT_EQ(table,
              (Rows{{Text(longDisplay.c_str()), Text("9876543210987654321098765432.9876543210"),
                     Text("14"), Text("新しい"), Text("8"), Text("end")}}));
    const Rows audit = Exec(
        "SELECT FieldName, CAST(OldValue AS NVARCHAR(MAX)), CAST(NewValue AS NVARCHAR(MAX)), "
        "DisplayName FROM AuditTrailKinds ORDER BY AutoNumber");
    std::vector<std::string> fields;
    for (const auto& row : audit) {
        fields.push_back(row[0].value_or("NULL"));
        EXPECT_EQ(row[3], Text(longDisplay.substr(0, 80).c_str()));
    }
    EXPECT_EQ(fields, (std::vector<std::string>{
                          EngineName("DisplayName"), EngineName("Guid"), EngineName("Wide"),
                          EngineName("Fraction"), EngineName("Stamp2"), EngineName("Day"),
                          EngineName("TimeOfDay"), EngineName("OldText"), EngineName("OldNText"),
                          EngineName("LongText"), EngineName("Bytes"), EngineName("Picture"),
                          EngineName("Doc"), EngineName("Qty"), "数量",
                          EngineName("ThisColumnNameIsFortyOneCharactersLongXYZ").substr(0, 40),
                          EngineName("LastOne")}));
    for (const auto& row : audit) {
        if (row[0] == Text("wide")) {
            EXPECT_EQ(row[1], Text("-1234567890123456789012345678.0123456789"));
            EXPECT_EQ(row[2], Text("9876543210987654321098765432.9876543210"));
        }
        if (row[0] == Text("fraction")) {
            EXPECT_EQ(row[2], Text("-0.54321"));
        }
        if (row[0] == Text("longtext")) {
            EXPECT_EQ(row[2], Text("新しい"));
        }
        if (row[0] == Text("picture")) {
            // SQL Server logs 0x0A0B and 0x0C0D.
            EXPECT_EQ(row[1], EngineBinaryAsText("\x0A\x0B"));
            EXPECT_EQ(row[2], EngineBinaryAsText("\x0C\x0D"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, EveryKindOnEngine,
                         ::testing::Values("ReadThroughFreeTds", "FromAColumnsFile"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace qelt::test
