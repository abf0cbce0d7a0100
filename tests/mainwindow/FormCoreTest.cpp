// The form core with a recording view: start-up order, Create, Close, the pointer and what the
// window shows behind each message box.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "auditscript/ScriptWarnings.h"
#include "auditscript/WorkedExample.h"
#include "dbsession/Error.h"
#include "mainwindow/frmQeltAuditTrigger.h"
#include "support/ColumnFacts.h"
#include "support/FakeSession.h"
#include "support/TsqlCheck.h"

namespace qelt::gui {
namespace {

using qelt::test::FakeSession;
using qelt::test::FakeSessionState;
using ::testing::ElementsAre;

// Records every call the form makes of its view, in order, with the arguments that matter.
class RecordingView final : public FormView {
  public:
    std::vector<std::string> calls;
    std::string caption = "QeltAuditTrigger";
    std::string table;
    std::string databaseName;
    std::string script;

    std::string Caption() override { return caption; }
    void SetCaption(const std::string& text) override {
        caption = text;
        calls.push_back("SetCaption " + text);
    }
    void SelectTableItem(int index) override {
        table = index == 0 ? "Companies" : "item " + std::to_string(index);
        calls.push_back("SelectTableItem " + std::to_string(index));
    }
    std::string TableText() override { return table; }
    std::string DatabaseNameText() override { return databaseName; }
    void SetDatabaseNameText(const std::string& text) override {
        databaseName = text;
        calls.push_back("SetDatabaseNameText " + text);
    }
    void SetScriptText(std::string_view text) override {
        script = text;
        calls.push_back("SetScriptText");
    }
    void SetDatabaseNameToolTip(const std::string& text) override {
        calls.push_back("SetDatabaseNameToolTip " + text);
    }
    void ShowMessageBox(const std::string& text, MessageStyle style,
                        const std::string& details) override {
        calls.push_back("ShowMessageBox " + std::to_string(static_cast<int>(style)) + " " + text +
                        " | behind: " + script + (details.empty() ? "" : " | details: " + details));
    }
    void SetWindowPointer(MousePointer pointer) override {
        calls.push_back("SetWindowPointer " + std::to_string(static_cast<int>(pointer)));
    }
    void SetApplicationPointer(MousePointer pointer) override {
        calls.push_back("SetApplicationPointer " + std::to_string(static_cast<int>(pointer)));
    }
    void EndProgram() override { calls.push_back("EndProgram"); }
};

StartupLookups RecordingLookups(std::vector<std::string>& calls) {
    return {[&calls](const std::string& program) {
                calls.push_back("installedAppPath " + program);
                return std::string("H\\");
            },
            [&calls](const std::string& host, const std::string& product) {
                calls.push_back("dataPath " + host + " " + product);
                return std::string("D\\");
            },
            [&calls](const std::string& host, const std::string& data, const std::string& product) {
                calls.push_back("databaseName " + host + " " + data + " " + product);
                return std::string("DSN=QeltOne");
            }};
}

class FormCoreTest : public ::testing::Test {
  protected:
    FormCoreTest() { state->columns = qelt::test::kCompaniesColumns; }

    void Load() {
        auto sessionState = state;
        form.Load([sessionState] { return std::make_unique<FakeSession>(sessionState); },
                  RecordingLookups(view.calls));
        view.calls.clear();
    }

    std::shared_ptr<FakeSessionState> state = std::make_shared<FakeSessionState>();
    RecordingView view;
    frmQeltAuditTrigger form{view};
};

TEST_F(FormCoreTest, StartUpRunsItsStepsInLoadOrder) {
    auto sessionState = state;
    form.Load(
        [&] {
            view.calls.push_back("create session");
            return std::make_unique<FakeSession>(sessionState);
        },
        RecordingLookups(view.calls));
    EXPECT_THAT(view.calls,
                ElementsAre("installedAppPath QeltOne.exe", "dataPath H\\ QeltOne",
                            "SetCaption QeltAuditTrigger (Version 3.6.2)", "SelectTableItem 0",
                            "create session", "databaseName H\\ D\\ QeltOne",
                            "SetDatabaseNameText DSN=QeltOne"));
    EXPECT_TRUE(view.script.empty());
}

// Without an installed host the database box starts empty, and its tooltip says what it takes.
TEST_F(FormCoreTest, StartUpWithoutTheHostExplainsTheDatabaseBox) {
    auto sessionState = state;
    const StartupLookups noHost{
        [](const std::string&) { return std::string(); },
        [](const std::string&, const std::string&) { return std::string(); },
        [](const std::string&, const std::string&, const std::string&) { return std::string(); }};
    form.Load([sessionState] { return std::make_unique<FakeSession>(sessionState); }, noHost);
    EXPECT_THAT(view.calls, ::testing::Contains("SetDatabaseNameToolTip " + HostNotFoundToolTip()));
    const std::string tip = HostNotFoundToolTip();
    for (const char* part : {"QeltOne was not found", ".mdb", ".sqlite", "DSN="}) {
        EXPECT_THAT(tip, ::testing::HasSubstr(part));
    }
}

TEST_F(FormCoreTest, DroppedFileNamesTheDatabase) {
    Load();
    form.DatabaseFileDropped("/data/Über QeltOne.db");
    EXPECT_THAT(view.calls, ElementsAre("SetDatabaseNameText /data/Über QeltOne.db"));
    form.cmdCreate_Click();
    EXPECT_THAT(state->DatabaseNames(), ElementsAre("/data/Über QeltOne.db"));
}

struct StartupFailure {
    const char* name;
    SessionFactory createSession;
    std::int32_t number;
};

void PrintTo(const StartupFailure& failure, std::ostream* out) {
    *out << failure.name;
}

class StartupFailureTest : public ::testing::TestWithParam<StartupFailure> {};

TEST_P(StartupFailureTest, SessionThatCannotBeCreatedEndsTheLoadWithItsError) {
    RecordingView view;
    frmQeltAuditTrigger form(view);
    std::vector<std::string> lookups;
    try {
        form.Load(GetParam().createSession, RecordingLookups(lookups));
        FAIL() << "start-up went on";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), GetParam().number);
    }
    // The database name is never looked up and nothing reaches the database box.
    EXPECT_THAT(lookups, ElementsAre("installedAppPath QeltOne.exe", "dataPath H\\ QeltOne"));
    EXPECT_TRUE(view.databaseName.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, StartupFailureTest,
    ::testing::Values(StartupFailure{"FactoryThrows",
                                     []() -> std::unique_ptr<DatabaseSession> {
                                         throw Error(-2147221164, "Class not registered");
                                     },
                                     -2147221164},
                      StartupFailure{"FactoryReturnsNothing",
                                     [] { return std::unique_ptr<DatabaseSession>(); }, 429}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Create -----------------------------------------------------------------------------------

const char kEarlierScript[] = "the previous run's script";

struct CreateCase {
    const char* name;
    std::function<void(FakeSessionState&)> arrange;
    // The view calls of the run; "<buffer>" stands for the script the run leaves.
    std::vector<std::string> calls;
    // The script the run leaves; none: the earlier script stays.
    std::string (*script)();
};

std::string NoScript() {
    return {};
}

void PrintTo(const CreateCase& run, std::ostream* out) {
    *out << run.name;
}

class CreateTest : public FormCoreTest, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(CreateTest, ShowsTheBufferBeforeAnyMessageAndRestoresThePointer) {
    Load();
    GetParam().arrange(*state);
    view.script = kEarlierScript;
    const std::string expected = GetParam().script ? GetParam().script() : kEarlierScript;

    form.cmdCreate_Click();

    std::vector<std::string> wanted = GetParam().calls;
    for (std::string& call : wanted) {
        if (const auto marker = call.find("<buffer>"); marker != std::string::npos) {
            call.replace(marker, 8, expected);
        }
    }
    EXPECT_EQ(view.calls, wanted);
    EXPECT_EQ(view.script, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CreateTest,
    ::testing::Values(
        CreateCase{"Succeeds",
                   [](FakeSessionState&) {},
                   {"SetWindowPointer 11", "SetScriptText", "SetWindowPointer 0"},
                   qelt::test::CompaniesScript},
        CreateCase{"DatabaseDoesNotOpen",
                   [](FakeSessionState& s) { s.opens = false; },
                   {"SetWindowPointer 11", "SetScriptText",
                    "ShowMessageBox 64 Error Opening the Database.\r\nDSN=QeltOne | behind: ",
                    "SetWindowPointer 0"},
                   NoScript},
        CreateCase{
            "DatabaseDoesNotOpenForAReason",
            [](FakeSessionState& s) {
                s.opens = false;
                s.openFailure = {"IM002", 0, "[IM002] no such source", FailureHint::None, ""};
            },
            {"SetWindowPointer 11", "SetScriptText",
             "ShowMessageBox 64 Error Opening the Database.\r\nDSN=QeltOne | behind:  | "
             "details: [IM002] no such source\r\nSQLSTATE: IM002\r\nNative error: 0",
             "SetWindowPointer 0"},
            NoScript},
        CreateCase{"FailsAfterTheLinesBeforeTheSetList",
                   [](FakeSessionState& s) { s.returnsNoRecordset = true; },
                   {"SetWindowPointer 11", "SetScriptText",
                    "ShowMessageBox 0 Error creating the Trigger\r\nDescription: The probe query "
                    "returned no recordset\r\nNumber: 91 | behind: <buffer>",
                    "SetWindowPointer 0"},
                   qelt::test::CompaniesLinesBeforeTheSetList},
        CreateCase{"OpeningRaisesAnError",
                   [](FakeSessionState& s) { s.openError = Error(5, "D"); },
                   {"SetWindowPointer 11", "SetScriptText",
                    "ShowMessageBox 0 Error creating the Trigger\r\nDescription: D\r\nNumber: 5 | "
                    "behind: ",
                    "SetWindowPointer 0"},
                   NoScript},
        CreateCase{"FailsBeforeTheBufferIsCleared",
                   [](FakeSessionState& s) { s.uppercaseError = Error(438, "No such property"); },
                   {"SetWindowPointer 11",
                    "ShowMessageBox 0 Error creating the Trigger\r\nDescription: No such "
                    "property\r\nNumber: 438 | behind: the previous run's script",
                    "SetWindowPointer 0"},
                   nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormCoreTest, CreateReadsTheDatabaseTextAsTheUserLeftIt) {
    Load();
    view.databaseName = "DSN=Server1;Übung";
    form.cmdCreate_Click();
    EXPECT_THAT(state->DatabaseNames(), ElementsAre("DSN=Server1;Übung"));
}

// --- the warnings in the script box ----------------------------------------------------------

// Companies columns whose key and display columns are as wide as the case says (0: the driver
// does not tell). Text widths change no line of the script: it stays the worked example.
std::vector<Field> CompaniesColumnsOfWidths(std::int32_t keyWidth, std::int32_t displayWidth) {
    std::vector<Field> columns = qelt::test::kCompaniesColumns;
    columns[0].Facts = qelt::test::SizeFacts(keyWidth);
    columns[1].Facts = qelt::test::SizeFacts(displayWidth);
    return columns;
}

// What qeltaudit prints on standard error for the columns, one text each.
std::vector<std::string> CompaniesWarnings(const std::vector<Field>& columns) {
    std::vector<std::string> warnings;
    AuditScriptWarnings("Companies", "CompanyIntID", "CompanyName", FieldVector(columns),
                        TableFacts(),
                        [&warnings](std::string_view text) { warnings.emplace_back(text); });
    return warnings;
}

struct WarningCase {
    const char* name;
    std::int32_t keyWidth;
    std::int32_t displayWidth;
    std::size_t warnings;
    const char* heading;  // none: the box shows the script alone
};

void PrintTo(const WarningCase& warning, std::ostream* out) {
    *out << warning.name;
}

class WarningCommentTest : public FormCoreTest,
                           public ::testing::WithParamInterface<WarningCase> {};

TEST_P(WarningCommentTest, WarningsHeadTheScriptAsCommentLines) {
    Load();
    state->columns = CompaniesColumnsOfWidths(GetParam().keyWidth, GetParam().displayWidth);
    const std::vector<std::string> warnings = CompaniesWarnings(state->columns);
    ASSERT_EQ(warnings.size(), GetParam().warnings);

    form.cmdCreate_Click();

    std::string expected;
    if (GetParam().heading != nullptr) {
        expected = GetParam().heading;
        for (const std::string& warning : warnings) {
            expected += "-- " + warning + "\r\n";
        }
        expected += "\r\n";
    }
    expected += qelt::test::CompaniesScript();
    EXPECT_EQ(view.script, expected);
    EXPECT_THAT(qelt::test::TsqlProblems(view.script), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Widths, WarningCommentTest,
    ::testing::Values(
        WarningCase{"None", 0, 0, 0, nullptr}, WarningCase{"FitTheAuditTable", 10, 80, 0, nullptr},
        WarningCase{"DisplayTooWide", 10, 100, 1,
                    "-- QeltAuditTrigger: 1 warning. Read it before you run this script.\r\n"},
        WarningCase{"KeyAndDisplayTooWide", 12, 100, 2,
                    "-- QeltAuditTrigger: 2 warnings. Read them before you run this script.\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormCoreTest, NextRunWithoutWarningsShowsTheScriptAlone) {
    Load();
    state->columns = CompaniesColumnsOfWidths(12, 100);
    form.cmdCreate_Click();
    ASSERT_TRUE(view.script.starts_with("-- QeltAuditTrigger: 2 warnings."));
    state->columns = qelt::test::kCompaniesColumns;
    form.cmdCreate_Click();
    EXPECT_EQ(view.script, qelt::test::CompaniesScript());
}

// Names with control characters never reach a warning, but no warning text can end its comment
// line early and leave the rest to run as script.
struct LineEndCase {
    const char* name;
    std::string warning;
    const char* line;
};

void PrintTo(const LineEndCase& lineEnd, std::ostream* out) {
    *out << lineEnd.name;
}

class WarningLineEndTest : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(WarningLineEndTest, StaysOnItsCommentLine) {
    ScriptWarningComment comment;
    comment.Add(GetParam().warning);
    const std::string script = qelt::test::CompaniesScript();
    const std::string text = comment.Before(script);

    const std::string lines = text.substr(0, text.size() - script.size());
    EXPECT_EQ(lines, "-- QeltAuditTrigger: 1 warning. Read it before you run this script.\r\n" +
                         std::string(GetParam().line) + "\r\n\r\n");
    EXPECT_THAT(qelt::test::TsqlProblems(text), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WarningLineEndTest,
    ::testing::Values(LineEndCase{"CrLf", "a\r\nGO\r\nDROP TABLE Companies",
                                  "-- a\\x0D\\x0AGO\\x0D\\x0ADROP TABLE Companies"},
                      LineEndCase{"LoneCr", "a\rb", "-- a\\x0Db"},
                      LineEndCase{"LoneLf", "a\nb", "-- a\\x0Ab"},
                      LineEndCase{"Nul", std::string("a\0b", 3), "-- a\\x00b"},
                      LineEndCase{"NextLine", "a\u0085b", "-- a\\xC2\\x85b"},
                      LineEndCase{"LineSeparator", "a\u2028GO\u2029b",
                                  "-- a\\xE2\\x80\\xA8GO\\xE2\\x80\\xA9b"},
                      LineEndCase{"OtherCharactersStay", "the column 'Übung \u2027' holds",
                                  "-- the column 'Übung \u2027' holds"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormCoreTest, SecondCreateReplacesTheWholeScript) {
    Load();
    form.cmdCreate_Click();
    ASSERT_EQ(view.script, qelt::test::CompaniesScript());
    view.table = "Contacts";
    form.cmdCreate_Click();
    // Companies' columns lack Contacts' key and display columns: warned of above the script.
    EXPECT_TRUE(view.script.starts_with("-- QeltAuditTrigger: 2 warnings."));
    EXPECT_NE(view.script.find("\r\n\r\nCREATE TABLE [dbo].[AuditTrailContacts] (\r\n"),
              std::string::npos);
    EXPECT_TRUE(view.script.ends_with("\r\nGO\r\n"));
    EXPECT_EQ(view.script.find("Companies"), std::string::npos);
}

TEST_F(FormCoreTest, CloseReleasesTheSessionThenEndsTheProgram) {
    Load();
    state->onDestroy = [this] { view.calls.push_back("session released"); };
    form.cmdClose_Click();
    EXPECT_THAT(view.calls, ElementsAre("session released", "EndProgram"));
    // An event that still arrives runs nothing.
    form.cmdCreate_Click();
    EXPECT_EQ(state->OpenCount(), 0u);
}

TEST_F(FormCoreTest, UnloadReleasesTheSessionWithoutEndingTheProgramItself) {
    Load();
    form.Unload();
    EXPECT_TRUE(state->destroyed);
    EXPECT_TRUE(view.calls.empty());
}

// --- the pointer choice -------------------------------------------------------------------------

struct PointerCase {
    const char* name;
    bool withWindow;
    bool busy;
    const char* call;
};

void PrintTo(const PointerCase& pointer, std::ostream* out) {
    *out << pointer.name;
}

class PointerChoiceTest : public ::testing::TestWithParam<PointerCase> {};

TEST_P(PointerChoiceTest, SetsExactlyOneTarget) {
    RecordingView view;
    PointerWindow* window = GetParam().withWindow ? &view : nullptr;
    GetParam().busy ? SetBusyPointer(view, window) : ResetPointer(view, window);
    EXPECT_THAT(view.calls, ElementsAre(GetParam().call));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, PointerChoiceTest,
    ::testing::Values(PointerCase{"BusyWindow", true, true, "SetWindowPointer 11"},
                      PointerCase{"DefaultWindow", true, false, "SetWindowPointer 0"},
                      PointerCase{"BusyApplication", false, true, "SetApplicationPointer 11"},
                      PointerCase{"DefaultApplication", false, false, "SetApplicationPointer 0"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the report of an unhandled start-up error ------------------------------------------------

struct ReportCase {
    const char* name;
    std::function<void()> raise;
    std::int32_t number;
    const char* text;
    int exitCode;
};

void PrintTo(const ReportCase& report, std::ostream* out) {
    *out << report.name;
}

class UnhandledErrorTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(UnhandledErrorTest, ReportGivesNumberAndDescription) {
    try {
        GetParam().raise();
        FAIL() << "nothing raised";
    } catch (const std::exception& error) {
        const RunTimeError report = DescribeUnhandledError(error);
        EXPECT_EQ(report.number, GetParam().number);
        EXPECT_EQ(RunTimeErrorText(report), GetParam().text);
        EXPECT_EQ(UnhandledErrorExitCode(error), GetParam().exitCode);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, UnhandledErrorTest,
    ::testing::Values(
        ReportCase{"Numbered", [] { throw Error(429, "ActiveX component can't create object"); },
                   429, "Run-time error '429':\r\n\r\nActiveX component can't create object", 1},
        ReportCase{"Negative", [] { throw Error(-2147221164, "Class not registered"); },
                   -2147221164, "Run-time error '-2147221164':\r\n\r\nClass not registered", 1},
        ReportCase{"OutOfMemory", [] { throw std::bad_alloc(); }, 7,
                   "Run-time error '7':\r\n\r\nOut of memory", 71},
        ReportCase{"Other", [] { throw std::runtime_error("no ODBC environment"); }, 51,
                   "Run-time error '51':\r\n\r\nno ODBC environment", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the window's own command line ---------------------------------------------------------------

struct CommandLineCase {
    const char* name;
    std::vector<std::string> args;
    std::optional<std::string> startsWith;  // nothing: the window opens
};

void PrintTo(const CommandLineCase& c, std::ostream* out) {
    *out << c.name;
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, HelpAndVersionAnswerWithoutAWindow) {
    const std::optional<std::string> text = CommandLineText(GetParam().args);
    ASSERT_EQ(text.has_value(), GetParam().startsWith.has_value());
    if (text) {
        EXPECT_THAT(*text, ::testing::StartsWith(*GetParam().startsWith));
        EXPECT_TRUE(text->ends_with('\n'));
        std::istringstream lines(*text);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"None", {}, std::nullopt},
        CommandLineCase{"ToolkitOptions", {"-platform", "offscreen"}, std::nullopt},
        CommandLineCase{"Version", {"--version"}, "QeltAuditTrigger 3.6.2\n"},
        CommandLineCase{"VersionAmongToolkitOptions",
                        {"-style", "fusion", "--version"},
                        "QeltAuditTrigger 3.6.2\n"},
        CommandLineCase{"Help", {"--help"}, "Usage: QeltAuditTrigger [--help | --version]\n"},
        CommandLineCase{"HelpBeforeVersion", {"--version", "--help"}, "Usage: QeltAuditTrigger"},
        CommandLineCase{"OnlyWholeArguments", {"--helpme", "x--version"}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineHelp, ExplainsEveryExitCodeOfTheTable) {
    std::string help = CommandLineText({"--help"}).value();
    std::ranges::replace(help, '\n', ' ');
    for (const exitcode::ExitCodeMeaning& exit : exitcode::kWindowExitCodes) {
        EXPECT_THAT(help, ::testing::HasSubstr(std::to_string(exit.code) + " " +
                                               std::string(exit.meaning)));
    }
}

}  // namespace
}  // namespace qelt::gui
