// qeltaudit: its options, the run they ask for, and how the run ended as an exit code.
#include "cli/QeltAudit.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "Version.h"
#include "auditscript/ColumnNames.h"
#include "auditscript/GenerationRun.h"
#include "auditscript/SQLFuncs.h"
#include "auditscript/ScriptWarnings.h"
#include "auditscript/SqlQuoting.h"
#include "auditscript/TriggerCheck.h"
#include "cli/CheckRun.h"
#include "cli/ColumnsFile.h"
#include "cli/ConsoleWindow.h"
#include "cli/Files.h"
#include "dbsession/ColumnListSession.h"
#include "dbsession/DataSources.h"
#include "dbsession/FileDrivers.h"
#include "dbsession/OdbcSession.h"
#include "text/Utf8Path.h"

namespace qelt::cli {

namespace {

struct Options {
    std::optional<std::string> database;
    std::optional<std::string> columnsFile;
    std::vector<std::string> tables;  // as given; a script is made for one
    std::string table = "Companies";
    bool uppercaseIdentifiers = false;
    std::optional<std::string> keyColumn;
    std::optional<std::string> displayColumn;
    std::optional<std::string> outputFile;
    bool showSettings = false;
    bool strict = false;
    bool drop = false;
    bool dropAuditTable = false;
    bool refresh = false;
    bool check = false;
    std::optional<std::string> against;
};

// A usage error found after the options were parsed.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Standard output. A write that fails, in part or whole, throws FileError.
class StandardOutput {
  public:
    virtual ~StandardOutput() = default;
    virtual void Write(std::string_view bytes) = 0;
    // The open file descriptor behind it, or -1.
    virtual int FileDescriptor() const = 0;
};

class DescriptorOutput final : public StandardOutput {
  public:
    explicit DescriptorOutput(int fd) : fd_(fd) {}
    void Write(std::string_view bytes) override { WriteAll(fd_, bytes); }
    int FileDescriptor() const override { return fd_; }

  private:
    int fd_;
};

class StreamOutput final : public StandardOutput {
  public:
    explicit StreamOutput(std::ostream& out) : out_(out) {}
    void Write(std::string_view bytes) override {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out_.flush();
        if (!out_) {
            throw FileError("the stream refused the text");
        }
    }
    int FileDescriptor() const override { return -1; }

  private:
    std::ostream& out_;
};

// A failure to write the script or a text to standard output.
class OutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void WriteToStandardOutput(StandardOutput& out, std::string_view bytes) {
    try {
        out.Write(bytes);
    } catch (const FileError& error) {
        throw OutputError(std::string("cannot write to standard output: ") + error.what());
    }
}

// A text for standard output (the version, the help, the settings), a failure reported as a
// script's is; also from inside a handler, where a throw would end the process.
int WriteText(StandardOutput& out, std::ostream& err, std::string_view text) {
    try {
        WriteToStandardOutput(out, text);
    } catch (const OutputError& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitCannotWrite;
    }
    return kExitOk;
}

std::string VersionText() {
    return "qeltaudit " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
           "." + std::to_string(kVersionRevision);
}

void RequirePlainIdentifier(const std::string& what, const std::string& name) {
    if (!IsPlainIdentifier(name)) {
        throw UsageError(what + " " + QuotedForMessage(name) +
                         " is not a plain identifier (ASCII letters, digits and _, not starting "
                         "with a digit, not a T-SQL reserved keyword)");
    }
    if (name.size() > kLongestIdentifier) {
        throw UsageError(what + " " + QuotedForMessage(name) + " has " +
                         std::to_string(name.size()) + " characters, more than SQL Server's 128");
    }
}

// The table in the window's spelling, refused when it is no plain identifier or too long for the
// names the script derives from it.
std::string ValidatedTable(const std::string& name) {
    RequirePlainIdentifier("the table", name);
    std::string table(ListedItemTableSpelling(name));
    // The longest name the script derives from the table's: its audit table's login default.
    const std::string constraint = "DF_" + AuditTableName(table) + "_SQLLoginID";
    if (constraint.size() > kLongestIdentifier) {
        throw UsageError("the table " + QuotedForMessage(table) + " makes the constraint name " +
                         constraint + " " + std::to_string(constraint.size()) +
                         " characters long, more than SQL Server's 128");
    }
    return table;
}

void ValidateTable(Options& options) {
    if (options.tables.size() > 1) {
        throw UsageError("--table is given " + std::to_string(options.tables.size()) +
                         " times; a script is made for one table (--check takes several)");
    }
    options.table = ValidatedTable(options.tables.empty() ? options.table : options.tables.front());
}

void ValidateColumnNames(const Options& options) {
    if (options.keyColumn) {
        RequirePlainIdentifier("the key column", *options.keyColumn);
    }
    if (options.displayColumn) {
        RequirePlainIdentifier("the display column", *options.displayColumn);
    }
}

bool NeedsKeyColumn(const Options& options) {
    return !options.keyColumn && BuiltInKeyColumn(options.table).empty();
}

// A table outside the built-in list, with no --key-column: its key column is the one column of
// the primary key that the database (or the columns file) reports, said in a warning. An open
// that fails leaves the key to the run, which then reports the open failure.
std::optional<std::string> TakePrimaryKeyAsKeyColumn(Options& options, DatabaseSession& session,
                                                     const std::string& databaseName) {
    session.SetDatabaseName(databaseName);
    if (!session.OpenDatabase()) {
        return std::nullopt;
    }
    const std::vector<std::string> primaryKey = session.DescribeTable(options.table).primaryKey;
    const std::string table = QuotedForMessage(options.table);
    if (primaryKey.size() != 1) {
        throw UsageError(
            "the table " + table + " has no built-in key column and the database reports " +
            (primaryKey.empty() ? std::string("no primary key")
                                : "the primary key (" + JoinedForMessage(primaryKey) + ") of " +
                                      std::to_string(primaryKey.size()) + " columns") +
            "; name the key column with --key-column");
    }
    RequirePlainIdentifier("the primary key column", primaryKey.front());
    options.keyColumn = primaryKey.front();
    return "the table " + table + " has no built-in key column: the script uses its primary key " +
           QuotedForMessage(primaryKey.front()) +
           ", as the database reports it (--key-column names another)";
}

// --output naming an input, however spelled, would replace it with its own script: refused before
// the input is opened, so that it stays as it is.
void RequireOutputOtherThan(const Options& options, const std::vector<std::string>& inputs,
                            const std::string& what) {
    if (!options.outputFile) {
        return;
    }
    const std::filesystem::path output = text::Utf8Path(*options.outputFile);
    for (const std::string& input : inputs) {
        if (IsSameFile(output, text::Utf8Path(input))) {
            throw UsageError("--output " + QuotedForMessage(*options.outputFile) + " is " + what +
                             "; name another file");
        }
    }
}

// The files a database text names: the file itself, or those of a connection string and of the
// data source it names.
std::vector<std::string> DatabaseFiles(const std::string& databaseName) {
    if (!IsConnectionString(databaseName)) {
        return {databaseName};
    }
    std::vector<std::string> files = FilesNamedIn(databaseName);
    if (const std::string dataSource = ConnectionStringValue(databaseName, "DSN");
        !dataSource.empty()) {
        std::ranges::move(DataSourceFiles(dataSource), std::back_inserter(files));
    }
    return files;
}

// Room for the script of the columns: each takes four lines that hold its name about twice.
std::size_t ExpectedScriptBytes(const std::pmr::vector<Field>& columns) {
    std::size_t bytes = 8192;
    for (const Field& column : columns) {
        bytes += 8 * column.Name.size() + 256;
    }
    return bytes;
}

// A script bound for standard output from a checked column list is written in pieces of this
// size (what a pipe holds) as it is generated: one small buffer instead of megabytes of fresh
// memory.
constexpr std::size_t kScriptPieceBytes = 64 * 1024;

// A column list read and checked before the run: the run cannot fail on it, so nothing written
// before it ends has to be taken back.
struct CheckedColumnList {
    std::size_t expectedScriptBytes;
};

// Writes a whole script to --output, or else to standard output.
int WriteScript(const Options& options, const std::string& script, StandardOutput& out,
                std::ostream& err) {
    if (!options.outputFile) {
        WriteToStandardOutput(out, script);
        return kExitOk;
    }
    try {
        WriteOutputFile(text::Utf8Path(*options.outputFile), script, out.FileDescriptor());
    } catch (const FileError& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitCannotWrite;
    }
    return kExitOk;
}

// The warnings on standard error, which is unbuffered: written a buffer at a time, since a wide
// table may have thousands, and counted.
class WarningPrinter {
  public:
    explicit WarningPrinter(std::ostream& err) : err_(err) { lines_.reserve(kBufferBytes); }

    void Add(std::string_view text) {
        lines_.append("qeltaudit: warning: ").append(text).append("\n");
        ++count_;
        if (lines_.size() >= kBufferBytes) {
            Flush();
        }
    }
    void Flush() {
        err_ << lines_;
        lines_.clear();
    }
    std::size_t Count() const { return count_; }

  private:
    static constexpr std::size_t kBufferBytes = 64 * 1024;
    std::ostream& err_;
    std::string lines_;
    std::size_t count_ = 0;
};

// Hands the script on to standard output in pieces as it is generated. The run must not see a
// failed write, so the first failure is kept and the rest dropped.
void HandOnToStandardOutput(ScriptBuffer& script, StandardOutput& out,
                            std::optional<std::string>& writeFailure) {
    script.HandOnInPieces(kScriptPieceBytes, [&out, &writeFailure](std::string_view piece) {
        if (writeFailure) {
            return;
        }
        try {
            out.Write(piece);
        } catch (const FileError& error) {
            writeFailure = error.what();
        }
    });
    PrefaultMemory(script.Text().data(), script.Text().capacity());
}

// The exit code of a run that showed its message.
int ExitCodeOfFailedRun(const RunOutcome& outcome) {
    if (outcome.kind == RunOutcome::Kind::OpenFailed) {
        return kExitOpenFailed;
    }
    return outcome.errorNumber == kErrNoColumnToSet ? kExitNoColumnToSet : kExitRunFailed;
}

int GenerateScript(const Options& options, DatabaseSession& session,
                   const std::string& databaseName, StandardOutput& out, std::ostream& err,
                   const std::optional<std::string>& keyWarning,
                   std::optional<CheckedColumnList> checkedList = std::nullopt) {
    ConsoleWindow window(options.table, databaseName);
    ScriptBuffer& script = window.Script();
    std::optional<std::string> writeFailure;
    // Under --strict a warning means no script at all, so nothing may go out before the end.
    const bool handOnInPieces = checkedList && !options.outputFile && !options.strict;
    if (handOnInPieces) {
        HandOnToStandardOutput(script, out, writeFailure);
    } else if (checkedList) {
        script.Reserve(checkedList->expectedScriptBytes);
        PreferLargePages(script.Text());
    }
    WarningPrinter warnings(err);
    if (keyWarning) {
        warnings.Add(*keyWarning);
    }
    const RunOutcome outcome = CreateAuditScript(
        window, session, ColumnOverrides{options.keyColumn, options.displayColumn},
        [&warnings](std::string_view text) { warnings.Add(text); },
        options.refresh ? ScriptSections::ReplacedTrigger : ScriptSections::AuditTableAndTrigger);
    if (const auto& message = window.ShownMessage()) {
        PrintRunMessage(*message, err);
        return ExitCodeOfFailedRun(outcome);
    }
    warnings.Flush();
    if (options.strict && warnings.Count() != 0) {
        err << "qeltaudit: no script written: --strict and " << warnings.Count()
            << (warnings.Count() == 1 ? " warning\n" : " warnings\n");
        return kExitWarnings;
    }
    if (!handOnInPieces) {
        return WriteScript(options, script.Text(), out, err);
    }
    script.HandOnRest();
    if (writeFailure) {
        throw OutputError("cannot write to standard output: " + *writeFailure);
    }
    return kExitOk;
}

// A saved script, read whole; refused when it holds no audit trigger of ours.
std::string ReadSavedScript(const std::string& file) {
    std::ifstream stream(text::Utf8Path(file), std::ios::binary);
    std::ostringstream text;
    if (!stream || !(text << stream.rdbuf())) {
        throw UsageError("--against " + QuotedForMessage(file) + " cannot be read");
    }
    if (!ReadAuditTrigger(text.str())) {
        throw UsageError("--against " + QuotedForMessage(file) +
                         " is not a script qeltaudit wrote: it holds no audit trigger to compare");
    }
    return text.str();
}

// The tables a check is asked about, each with its key column: the one given, the built-in one,
// or the primary key the database reports, as a script run takes it.
std::vector<CheckRequest::Table> TablesToCheck(const Options& options,
                                               const std::optional<std::string>& savedScript,
                                               DatabaseSession& session,
                                               const std::string& databaseName) {
    std::vector<std::string> names;
    if (savedScript) {
        if (options.tables.size() > 1) {
            throw UsageError("--against compares one table's script: give one --table");
        }
        names.push_back(options.tables.empty()
                            ? AuditTriggerTable(*savedScript).value_or(options.table)
                            : options.tables.front());
    } else if (options.tables.empty()) {
        names.assign(ListedItemTables().begin(), ListedItemTables().end());
    } else {
        names = options.tables;
    }
    std::vector<CheckRequest::Table> tables;
    for (const std::string& name : names) {
        Options one = options;
        one.table = ValidatedTable(name);
        if (NeedsKeyColumn(one)) {
            TakePrimaryKeyAsKeyColumn(one, session, databaseName);
        }
        tables.push_back({one.table, one.keyColumn});
    }
    return tables;
}

int Check(const Options& options, StandardOutput& out, std::ostream& err,
          const HostSettingsLookup& lookUpHostSettings) {
    ValidateColumnNames(options);
    CheckRequest request;
    request.displayColumn = options.displayColumn;
    if (options.against) {
        request.savedScript = ReadSavedScript(*options.against);
    }
    std::ostringstream report;
    int exitCode = kExitOk;
    const auto check = [&](DatabaseSession& session, const std::string& databaseName) {
        request.databaseName = databaseName;
        request.tables = TablesToCheck(options, request.savedScript, session, databaseName);
        exitCode = RunCheck(request, session, report, err);
    };
    if (options.columnsFile) {
        ColumnListSession session(
            FieldVector(ReadColumnsFile(text::Utf8Path(*options.columnsFile), LargeBufferMemory())),
            options.uppercaseIdentifiers);
        check(session, *options.columnsFile);
    } else {
        OdbcSession session;
        check(session, options.database ? *options.database : lookUpHostSettings().databaseName);
    }
    if (const int written = WriteText(out, err, report.str()); written != kExitOk) {
        return written;
    }
    return exitCode;
}

// The help is wrapped to a terminal's 80 columns: option names in the first column, their texts
// beside them (below a name too long for the column), description and footer below.
constexpr std::size_t kHelpWidth = 80;
constexpr std::size_t kHelpNameColumn = 30;

// The text's lines broken at spaces to at most `width` columns; a word longer than that keeps
// its line.
std::string WrappedText(const std::string& text, std::size_t width) {
    std::string wrapped;
    std::size_t lineStart = 0;
    std::size_t lastSpace = std::string::npos;  // in `wrapped`, on the current line
    for (const char c : text) {
        if (c == '\n') {
            wrapped += c;
            lineStart = wrapped.size();
            lastSpace = std::string::npos;
            continue;
        }
        if (c == ' ' && wrapped.size() - lineStart >= width) {
            wrapped += '\n';
            lineStart = wrapped.size();
            lastSpace = std::string::npos;
            continue;
        }
        wrapped += c;
        if (c == ' ') {
            lastSpace = wrapped.size() - 1;
        } else if (wrapped.size() - lineStart > width && lastSpace != std::string::npos) {
            wrapped[lastSpace] = '\n';
            lineStart = lastSpace + 1;
            lastSpace = std::string::npos;
        }
    }
    return wrapped;
}

class WrappingFormatter final : public CLI::Formatter {
  public:
    WrappingFormatter() { column_width(kHelpNameColumn); }
    std::string make_option_desc(const CLI::Option* option) const override {
        return WrappedText(CLI::Formatter::make_option_desc(option), kHelpWidth - kHelpNameColumn);
    }
    std::string make_description(const CLI::App* app) const override {
        return WrappedText(CLI::Formatter::make_description(app), kHelpWidth);
    }
    std::string make_footer(const CLI::App* app) const override {
        return WrappedText(CLI::Formatter::make_footer(app), kHelpWidth);
    }
};

// The options that say where the columns come from and which table and columns the script is for.
void AddInputOptions(CLI::App& app, Options& options) {
    auto* database = app.add_option(
        "--database", options.database,
        "Database to read the table's columns from (default: the host product's database, "
        "as --show-settings prints it). A text containing '=' is an ODBC connection string used as "
        "it is (DSN=Name, "
        "DRIVER={Name};...), so any installed driver can be named; otherwise a database "
        "file: " +
            FileDriversHelpText() +
            ". Database files are "
            "opened read-only and never created, and only the probe query is run");
    auto* columns = app.add_option("--columns", options.columnsFile,
                                   "Column list instead of a database: one column a line, "
                                   "NAME<TAB>ADO-TYPE-CODE")
                        ->excludes(database);
    app.add_option("--table", options.tables,
                   "Item table (default: Companies; with --check, the four the window lists, and "
                   "the option may be repeated)");
    app.add_flag("--uppercase-identifiers", options.uppercaseIdentifiers,
                 "With --columns: the database reports upper-case identifiers, so the key "
                 "column is upper-cased")
        ->needs(columns);
    app.add_option("--key-column", options.keyColumn,
                   "Key column, for a table outside the built-in list");
    app.add_option("--display-column", options.displayColumn,
                   "Display column written into the audit rows (default: the built-in one)");
}

// The options that say what the run does and where its script goes; after the input options.
void AddRunOptions(CLI::App& app, Options& options) {
    app.add_option("--output", options.outputFile,
                   "Write the script to this file (replaced only on success) instead of "
                   "standard output");
    app.add_flag("--show-settings", options.showSettings,
                 "Print the host folder, data folder and database found at start-up");
    app.add_flag("--strict", options.strict,
                 "Treat every warning as an error: exit 65 and write no script");
    auto* drop = app.add_flag("--drop", options.drop,
                              "Write the script that removes the table's audit trigger instead "
                              "(the audit table and its log stay)")
                     ->excludes("--database")
                     ->excludes("--columns");
    app.add_flag("--drop-audit-table", options.dropAuditTable,
                 "With --drop: remove the audit table and the log it holds too")
        ->needs(drop);
    app.add_flag("--refresh", options.refresh,
                 "Write the script that replaces only the table's trigger, for today's columns: "
                 "it drops the trigger where it exists and keeps the audit table and its log")
        ->excludes(drop);
    auto* check =
        app.add_flag("--check", options.check,
                     "Check, without changing anything, that each table's audit table and trigger "
                     "are in place, enabled and fit the table's columns today: a line per "
                     "finding; exit 0 when all are current, 3 when any is not")
            ->excludes(drop)
            ->excludes("--refresh")
            ->excludes("--output");
    app.add_option("--against", options.against,
                   "With --check: compare the script that was run, saved in this file, instead "
                   "of the trigger the database keeps")
        ->needs(check);
}

void DescribeCommandLine(CLI::App& app, Options& options) {
    app.formatter(std::make_shared<WrappingFormatter>());
    AddInputOptions(app, options);
    AddRunOptions(app, options);
    app.set_version_flag("--version", VersionText());
    app.footer(ExitCodesText(kQeltAuditExitCodes));
}

// A script from the columns file, which is read and checked whole before the script is begun.
int GenerateFromColumnsFile(Options& options, StandardOutput& out, std::ostream& err) {
    RequireOutputOtherThan(options, {*options.columnsFile}, "the columns file");
    std::pmr::vector<Field> columns =
        ReadColumnsFile(text::Utf8Path(*options.columnsFile), LargeBufferMemory());
    const CheckedColumnList checkedList{ExpectedScriptBytes(columns)};
    ColumnListSession session(FieldVector(std::move(columns)), options.uppercaseIdentifiers,
                              ColumnListSession::Names::Checked);
    std::optional<std::string> keyWarning;
    if (NeedsKeyColumn(options)) {
        keyWarning = TakePrimaryKeyAsKeyColumn(options, session, *options.columnsFile);
    }
    return GenerateScript(options, session, *options.columnsFile, out, err, keyWarning,
                          checkedList);
}

// A script from the columns a database reports.
int GenerateFromDatabase(Options& options, StandardOutput& out, std::ostream& err,
                         const HostSettingsLookup& lookUpHostSettings) {
    OdbcSession session;
    // The host installation is looked up only when no database is named.
    const std::string databaseName =
        options.database ? *options.database : lookUpHostSettings().databaseName;
    RequireOutputOtherThan(options, DatabaseFiles(databaseName), "the database file");
    std::optional<std::string> keyWarning;
    if (NeedsKeyColumn(options)) {
        keyWarning = TakePrimaryKeyAsKeyColumn(options, session, databaseName);
    }
    return GenerateScript(options, session, databaseName, out, err, keyWarning);
}

int ShowSettings(StandardOutput& out, std::ostream& err,
                 const HostSettingsLookup& lookUpHostSettings) {
    const HostSettings settings = lookUpHostSettings();
    return WriteText(out, err,
                     "Host folder: " + settings.hostFolder + "\nData folder: " +
                         settings.dataFolder + "\nDatabase: " + settings.databaseName + "\n");
}

// Does what the parsed options ask.
int RunCommand(Options& options, StandardOutput& out, std::ostream& err,
               const HostSettingsLookup& lookUpHostSettings) {
    if (options.showSettings) {
        return ShowSettings(out, err, lookUpHostSettings);
    }
    if (options.check) {
        return Check(options, out, err, lookUpHostSettings);
    }
    ValidateTable(options);
    if (options.drop) {
        ScriptBuffer script;
        WriteRemovalScript(script, options.table, options.dropAuditTable);
        return WriteScript(options, script.Text(), out, err);
    }
    ValidateColumnNames(options);
    if (options.columnsFile) {
        return GenerateFromColumnsFile(options, out, err);
    }
    return GenerateFromDatabase(options, out, err, lookUpHostSettings);
}

// Reports the exception in flight, which ended the run, and gives the run's exit code; --help
// and --version end the parse by exception too.
int ReportEndOfRun(const CLI::App& app, StandardOutput& out, std::ostream& err) {
    try {
        throw;
    } catch (const CLI::CallForVersion&) {
        return WriteText(out, err, VersionText() + "\n");
    } catch (const CLI::Success&) {
        return WriteText(out, err, app.help());
    } catch (const CLI::ParseError& error) {
        // The message repeats what was typed, which may hold control characters.
        err << "qeltaudit: " << EscapedForMessage(error.what())
            << "\nRun 'qeltaudit --help' for the options.\n";
        return kExitUsage;
    } catch (const UsageError& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitUsage;
    } catch (const ColumnsFileError& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitUsage;
    } catch (const OutputError& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitCannotWrite;
    } catch (const std::bad_alloc&) {
        err << kOutOfMemoryMessage;
        return kExitOutOfMemory;
    }
}

int Run(const std::vector<std::string>& args, StandardOutput& out, std::ostream& err,
        const HostSettingsLookup& lookUpHostSettings) {
    CLI::App app(
        "Writes the T-SQL script of an audit table and an INSTEAD OF UPDATE trigger for "
        "one item table of the host product's database. It never runs the script and "
        "never changes the database.",
        "qeltaudit");
    Options options;
    DescribeCommandLine(app, options);
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 parses from the back
    try {
        app.parse(reversed);
        return RunCommand(options, out, err, lookUpHostSettings);
    } catch (...) {
        return ReportEndOfRun(app, out, err);
    }
}

}  // namespace

int RunQeltAudit(const std::vector<std::string>& args, int standardOutput, std::ostream& err,
                 const HostSettingsLookup& lookUpHostSettings) {
    DescriptorOutput out(standardOutput);
    return Run(args, out, err, lookUpHostSettings);
}

int RunQeltAudit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const HostSettingsLookup& lookUpHostSettings) {
    StreamOutput stream(out);
    return Run(args, stream, err, lookUpHostSettings);
}

}  // namespace qelt::cli
