// What a failure most likely means for the user, from its SQLSTATE or its words.
#include "dbsession/FailureReason.h"

#include "dbsession/FileDrivers.h"

namespace qelt {

namespace {

std::string HintText(const FailureReason& reason) {
    switch (reason.hint) {
        case FailureHint::None:
            return "";
        case FailureHint::FileNotFound:
            return "Check the path: no file of that name is there, and a database file is "
                   "never created.";
        case FailureHint::NoDriver: {
            const FileDriver* row = nullptr;
            for (const FileDriver& candidate : FileDrivers()) {
                if (candidate.kind == reason.fileKind) {
                    row = &candidate;
                }
            }
            return MissingDriverAdvice(row);
        }
        case FailureHint::PermissionDenied:
            return "Permission denied: this user may not read the file or one of its folders. "
                   "Ask for read permission, or copy the file to a folder of your own.";
        case FailureHint::NotADatabase:
            return "The file is not a database of the kind its extension names: check that the "
                   "path names the database itself, not a copy, backup or another file.";
    }
    return "";
}

}  // namespace

FailureHint HintOfDiagnostic(std::string_view sqlState, std::string_view message) {
    // unixODBC takes a driver name it does not know for the file name of a driver library.
    if (sqlState == "IM002" || message.find("Can't open lib") != std::string_view::npos) {
        return FailureHint::NoDriver;
    }
    if (message.find("is not a database") != std::string_view::npos) {
        return FailureHint::NotADatabase;
    }
    return FailureHint::None;
}

FailureReason ReasonOfError(const Error& error) {
    const auto* driverError = dynamic_cast<const OdbcError*>(&error);
    if (driverError == nullptr) {
        return {};
    }
    const std::string message = driverError->Description();
    return FailureReason{driverError->SqlState(), driverError->Number(), message,
                         HintOfDiagnostic(driverError->SqlState(), message), ""};
}

std::string FailureDetailsText(const FailureReason& reason) {
    if (reason.message.empty()) {
        return "";
    }
    std::string text = reason.message;
    if (!reason.sqlState.empty()) {
        text += "\r\nSQLSTATE: " + reason.sqlState;
        text += "\r\nNative error: " + std::to_string(reason.nativeError);
    }
    if (const std::string hint = HintText(reason); !hint.empty()) {
        text += "\r\nHint: " + hint;
    }
    return text;
}

}  // namespace qelt
