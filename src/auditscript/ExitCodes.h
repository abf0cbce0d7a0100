// The exit codes of qeltaudit and the window, each with its meaning.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

// The exit codes of both programs: qeltaudit and the window. Each is defined here only; the
// --help footer and the manual page's EXIT STATUS section are checked against the table.
namespace qelt::exitcode {

inline constexpr int kExitOk = 0;
inline constexpr int kExitOpenFailed = 1;     // "Error Opening the Database."
inline constexpr int kExitRunFailed = 2;      // "Error creating the Trigger"
inline constexpr int kExitCheckFindings = 3;  // --check: a trigger missing, disabled or stale
inline constexpr int kExitNoColumnToSet = 4;  // no column of the table can be set by an UPDATE
inline constexpr int kExitUsage = 64;         // bad options, columns file or names
inline constexpr int kExitWarnings = 65;      // --strict and the script has warnings
inline constexpr int kExitOutOfMemory = 71;   // memory ran out
inline constexpr int kExitCannotWrite = 74;   // the script or a text could not be written

// The window's start-up ended by an error nothing handled.
inline constexpr int kExitUnhandledError = 1;

struct ExitCodeMeaning {
    int code;
    std::string_view meaning;  // as qeltaudit --help says it
};

// qeltaudit's exit codes in ascending order, each with its meaning.
inline constexpr std::array kQeltAuditExitCodes{
    ExitCodeMeaning{kExitOk, "script written (--check: every trigger current)"},
    ExitCodeMeaning{kExitOpenFailed, "the database could not be opened"},
    ExitCodeMeaning{kExitRunFailed, "error creating the trigger"},
    ExitCodeMeaning{kExitCheckFindings, "--check found a trigger missing, disabled or stale"},
    ExitCodeMeaning{kExitNoColumnToSet, "no column of the table can be set by an UPDATE"},
    ExitCodeMeaning{kExitUsage, "usage error"},
    ExitCodeMeaning{kExitWarnings, "--strict and the script has warnings"},
    ExitCodeMeaning{kExitOutOfMemory, "out of memory"},
    ExitCodeMeaning{kExitCannotWrite, "the script could not be written"},
};

// The window program's exit codes in ascending order, each with its meaning.
inline constexpr std::array kWindowExitCodes{
    ExitCodeMeaning{kExitOk, "the window was closed"},
    ExitCodeMeaning{kExitUnhandledError, "start-up failed"},
    ExitCodeMeaning{kExitOutOfMemory, "out of memory"},
    ExitCodeMeaning{kExitCannotWrite, "--help or --version could not write their text"},
};

// A program's --help footer on one line: "Exit codes: 0 …; 1 …; 74 …."
inline std::string ExitCodesText(std::span<const ExitCodeMeaning> codes) {
    std::string text = "Exit codes:";
    for (const ExitCodeMeaning& exit : codes) {
        text += (&exit == &codes.front() ? " " : "; ") + std::to_string(exit.code) + " " +
                std::string(exit.meaning);
    }
    return text + ".";
}

}  // namespace qelt::exitcode
