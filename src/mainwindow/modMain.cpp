// modMain: the busy pointer and the report of an error start-up did not handle.
#include "mainwindow/modMain.h"

#include <algorithm>
#include <new>
#include <sstream>
#include <string>

#include "Version.h"
#include "dbsession/Error.h"

namespace qelt::gui {

namespace {

void SetPointer(ApplicationPointer& application, PointerWindow* window, MousePointer pointer) {
    if (window == nullptr) {
        application.SetApplicationPointer(pointer);
    } else {
        window->SetWindowPointer(pointer);
    }
}

// The exit code footer in lines of at most 80 columns, as the rest of the text.
std::string ExitCodesHelpText() {
    constexpr std::size_t kColumns = 80;
    std::istringstream words(ExitCodesText(kWindowExitCodes));
    std::string text;
    std::size_t lineStart = 0;
    for (std::string word; words >> word;) {
        if (!text.empty()) {
            const bool fits = text.size() - lineStart + 1 + word.size() <= kColumns;
            text += fits ? ' ' : '\n';
            lineStart = fits ? lineStart : text.size();
        }
        text += word;
    }
    return text + "\n";
}

}  // namespace

void SetBusyPointer(ApplicationPointer& application, PointerWindow* window) {
    SetPointer(application, window, MousePointer::Hourglass);
}

void ResetPointer(ApplicationPointer& application, PointerWindow* window) {
    SetPointer(application, window, MousePointer::Default);
}

RunTimeError DescribeUnhandledError(const std::exception& error) {
    auto [number, description] = NumberedFailureOf(error);
    return {number, std::move(description)};
}

int UnhandledErrorExitCode(const std::exception& error) {
    return dynamic_cast<const std::bad_alloc*>(&error) != nullptr ? kExitOutOfMemory
                                                                  : kExitUnhandledError;
}

std::string RunTimeErrorText(const RunTimeError& error) {
    return "Run-time error '" + std::to_string(error.number) + "':\r\n\r\n" + error.description;
}

std::optional<std::string> CommandLineText(const std::vector<std::string>& args) {
    const auto given = [&](const char* option) {
        return std::find(args.begin(), args.end(), option) != args.end();
    };
    if (given("--help")) {
        return "Usage: QeltAuditTrigger [--help | --version]\n"
               "\n"
               "Opens the window that writes the T-SQL script of an audit table and an\n"
               "INSTEAD OF UPDATE trigger for one item table of the host product's database.\n"
               "The Database box starts with the host product's database (as qeltaudit\n"
               "--show-settings prints it); choose the table, press Create and copy the\n"
               "script. It never runs the script and never changes the database.\n"
               "\n"
               "Options:\n"
               "  --help     Print this text and exit\n"
               "  --version  Print the version and exit\n"
               "\n" +
               ExitCodesHelpText();
    }
    if (given("--version")) {
        return "QeltAuditTrigger " + std::to_string(kVersionMajor) + "." +
               std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision) + "\n";
    }
    return std::nullopt;
}

}  // namespace qelt::gui
