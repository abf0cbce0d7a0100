// What a failure most likely means for the user, from its SQLSTATE or its words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbsession/Error.h"

namespace qelt {

// What a failure most likely means for the user, where that is known.
enum class FailureHint {
    None,
    FileNotFound,      // no database file at that path
    NoDriver,          // no ODBC driver or data source of the needed name is installed
    PermissionDenied,  // the file is there, but this user may not read it
    NotADatabase,      // the file is no database of the kind its extension names
};

// Why opening a database or a run failed, for the user to look up: the driver's SQLSTATE and
// native error where a driver reported the failure, its message, and a hint.
struct FailureReason {
    std::string sqlState;  // empty: no driver reported it
    std::int32_t nativeError = 0;
    std::string message;  // empty: nothing failed
    FailureHint hint = FailureHint::None;
    std::string fileKind;  // for NoDriver of a database file: its driver row's kind ("SQLite")

    friend bool operator==(const FailureReason&, const FailureReason&) = default;
};

// The hint a driver's diagnostic carries: IM002 is the driver manager's "no such data source or
// driver" (unixODBC's "Can't open lib" for a driver name); SQLite says "file is not a database"
// at the first query, not at the open.
FailureHint HintOfDiagnostic(std::string_view sqlState, std::string_view message);

// A driver's error with its hint; for any other error nothing, as its message says it all.
FailureReason ReasonOfError(const Error& error);

// What the window shows behind "Show details" and qeltaudit prints after the message: the
// message, the SQLSTATE and native error, and the hint, in CR LF lines. Empty for no failure.
std::string FailureDetailsText(const FailureReason& reason);

}  // namespace qelt
