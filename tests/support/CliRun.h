#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/QeltAudit.h"

namespace qelt::test {

struct CliResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs qeltaudit in-process with the arguments after the program name.
inline CliResult RunCli(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = cli::RunQeltAudit(args, out, err);
    return {exitCode, out.str(), err.str()};
}

}  // namespace qelt::test
