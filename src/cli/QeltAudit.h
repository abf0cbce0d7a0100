#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qelt::cli {

// Exit codes of qeltaudit.
inline constexpr int kExitOk = 0;
inline constexpr int kExitOpenFailed = 1;    // "Error Opening the Database."
inline constexpr int kExitRunFailed = 2;     // "Error creating the Trigger"
inline constexpr int kExitUsage = 64;        // bad options, columns file or names
inline constexpr int kExitCannotWrite = 74;  // the --output file could not be written

// Runs the command line: args are the arguments after the program name. The script goes to
// `out` (or to --output), every message to `err`; nothing reaches `out` on failure.
int RunQeltAudit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qelt::cli
