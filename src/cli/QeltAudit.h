// qeltaudit: its options, the run they ask for, and how the run ended as an exit code.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "auditscript/ExitCodes.h"
#include "settings/modQLXLib.h"

namespace qelt::cli {

// qeltaudit's exit codes, here as in the window.
using namespace exitcode;

// What a run that ran out of memory says on standard error; a literal, as nothing can be
// allocated to build a message then.
inline constexpr const char* kOutOfMemoryMessage = "qeltaudit: out of memory\n";

// The start-up lookups of the host installation; only --show-settings and a run without
// --database or --columns use them.
using HostSettingsLookup = std::function<HostSettings()>;

// Runs the command line: args are the arguments after the program name. The script and the
// informational texts go to the open file descriptor `standardOutput` (or the script to
// --output), every message to `err`; nothing reaches standard output on failure, and a script
// that could not be written in full ends with kExitCannotWrite.
int RunQeltAudit(const std::vector<std::string>& args, int standardOutput, std::ostream& err,
                 const HostSettingsLookup& lookUpHostSettings = LookUpHostSettings);

// The same with standard output as a stream, for callers that run it in-process.
int RunQeltAudit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const HostSettingsLookup& lookUpHostSettings = LookUpHostSettings);

}  // namespace qelt::cli
