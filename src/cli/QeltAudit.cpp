#include "cli/QeltAudit.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "Version.h"
#include "auditscript/GenerationRun.h"
#include "auditscript/SQLFuncs.h"
#include "auditscript/SqlQuoting.h"
#include "cli/ColumnsFile.h"
#include "cli/ConsoleWindow.h"
#include "dbsession/FileDrivers.h"
#include "dbsession/OdbcSession.h"
#include "settings/modQLXLib.h"

namespace qelt::cli {

namespace {

struct Options {
    std::optional<std::string> database;
    std::optional<std::string> columnsFile;
    std::string table = "Companies";
    bool uppercaseIdentifiers = false;
    std::optional<std::string> keyColumn;
    std::optional<std::string> displayColumn;
    std::optional<std::string> outputFile;
    bool showSettings = false;
};

// A usage error found after the options were parsed.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A session over a column list from a file: always opens, and every query describes the list.
class ColumnListSession final : public DatabaseSession {
  public:
    ColumnListSession(std::vector<Field> columns, bool uppercaseIdentifiers)
        : columns_(std::move(columns)), uppercaseIdentifiers_(uppercaseIdentifiers) {}

    void SetDatabaseName(const std::string&) override {}
    bool UppercaseIdentifiers() override { return uppercaseIdentifiers_; }
    bool OpenDatabase() override { return true; }
    std::unique_ptr<Recordset> OpenRecordset(const std::string&, std::int32_t, std::int32_t,
                                             std::int32_t) override {
        return std::make_unique<ColumnListRecordset>(columns_);
    }

  private:
    class ColumnListRecordset final : public Recordset {
      public:
        explicit ColumnListRecordset(const FieldVector& fields) : fields_(fields) {}
        const Fields& GetFields() const override { return fields_; }

      private:
        const FieldVector& fields_;
    };

    FieldVector columns_;
    bool uppercaseIdentifiers_;
};

// The database opened when neither --database nor --columns names one: the one the window
// shows at start-up, found through the host product's registry entry and settings files.
std::string DefaultDatabaseText() {
    return LookUpHostSettings().databaseName;
}

std::string VersionText() {
    return "qeltaudit " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
           "." + std::to_string(kVersionRevision);
}

void RequirePlainIdentifier(const std::string& what, const std::string& name) {
    if (!IsPlainIdentifier(name)) {
        throw UsageError(what + " '" + name +
                         "' is not a plain identifier (ASCII letters, digits and _, not starting "
                         "with a digit, not a T-SQL reserved keyword)");
    }
}

void ValidateNames(const Options& options) {
    RequirePlainIdentifier("the table", options.table);
    if (options.keyColumn) {
        RequirePlainIdentifier("the key column", *options.keyColumn);
    } else if (BuiltInKeyColumn(options.table).empty()) {
        throw UsageError("the table '" + options.table +
                         "' has no built-in key column; name it with --key-column");
    }
    if (options.displayColumn) {
        RequirePlainIdentifier("the display column", *options.displayColumn);
    }
}

// Replaces the file in one step, so that readers never see a half-written script and a failed
// run leaves the previous file as it was.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp" + std::to_string(std::random_device{}());
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw std::runtime_error("cannot write '" + temporary.string() + "'");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw std::runtime_error("cannot replace '" + path.string() + "': " + error.message());
    }
}

// The console shows the window's CR LF message lines as the terminal's own lines.
std::string ConsoleLines(std::string text) {
    std::erase(text, '\r');
    return text;
}

int GenerateScript(const Options& options, DatabaseSession& session,
                   const std::string& databaseName, std::ostream& out, std::ostream& err) {
    ConsoleWindow window(options.table, databaseName);
    CreateAuditScript(window, session, ColumnOverrides{options.keyColumn, options.displayColumn});
    if (const auto& message = window.ShownMessage()) {
        err << ConsoleLines(message->text) << '\n';
        return message->style == MessageStyle::Information ? kExitOpenFailed : kExitRunFailed;
    }
    const std::string& script = window.Script().Text();
    if (!options.outputFile) {
        out.write(script.data(), static_cast<std::streamsize>(script.size()));
        out.flush();
        return kExitOk;
    }
    try {
        WriteFileAtomically(*options.outputFile, script);
    } catch (const std::exception& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitCannotWrite;
    }
    return kExitOk;
}

}  // namespace

int RunQeltAudit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app(
        "Writes the T-SQL script of an audit table and an INSTEAD OF UPDATE trigger for "
        "one item table of the host product's database. It never runs the script and "
        "never changes the database.",
        "qeltaudit");
    Options options;
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
    app.add_option("--table", options.table, "Item table (default: Companies)");
    app.add_flag("--uppercase-identifiers", options.uppercaseIdentifiers,
                 "With --columns: the database reports upper-case identifiers, so the key "
                 "column is upper-cased")
        ->needs(columns);
    app.add_option("--key-column", options.keyColumn,
                   "Key column, for a table outside the built-in list");
    app.add_option("--display-column", options.displayColumn,
                   "Display column written into the audit rows (default: the built-in one)");
    app.add_option("--output", options.outputFile,
                   "Write the script to this file (replaced only on success) instead of "
                   "standard output");
    app.add_flag("--show-settings", options.showSettings,
                 "Print the host folder, data folder and database found at start-up");
    app.set_version_flag("--version", VersionText());
    app.footer(
        "Exit codes: 0 script written; 1 the database could not be opened; 2 error creating the "
        "trigger; 64 usage error; 74 the output file could not be written.");

    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 parses from the back
    try {
        app.parse(reversed);
        if (options.showSettings) {
            const HostSettings settings = LookUpHostSettings();
            out << "Host folder: " << settings.hostFolder
                << "\nData folder: " << settings.dataFolder
                << "\nDatabase: " << settings.databaseName << '\n';
            return kExitOk;
        }
        ValidateNames(options);
        if (options.columnsFile) {
            ColumnListSession session(ReadColumnsFile(*options.columnsFile),
                                      options.uppercaseIdentifiers);
            return GenerateScript(options, session, *options.columnsFile, out, err);
        }
        OdbcSession session;
        const int exitCode = GenerateScript(
            options, session, options.database.value_or(DefaultDatabaseText()), out, err);
        if (exitCode == kExitOpenFailed && !session.OpenFailure().empty()) {
            err << "qeltaudit: " << session.OpenFailure() << '\n';
        }
        return exitCode;
    } catch (const CLI::CallForVersion&) {
        out << VersionText() << '\n';
        return kExitOk;
    } catch (const CLI::Success&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        err << "qeltaudit: " << error.what() << "\nRun 'qeltaudit --help' for the options.\n";
        return kExitUsage;
    } catch (const UsageError& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitUsage;
    } catch (const ColumnsFileError& error) {
        err << "qeltaudit: " << error.what() << '\n';
        return kExitUsage;
    }
}

}  // namespace qelt::cli
