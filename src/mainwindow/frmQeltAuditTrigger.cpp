#include "mainwindow/frmQeltAuditTrigger.h"

#include <cstdint>

#include "Version.h"
#include "auditscript/GenerationRun.h"
#include "dbsession/Error.h"
#include "dbsession/FileDrivers.h"

namespace qelt::gui {

namespace {

constexpr std::int32_t kErrCannotCreateObject = 429;

constexpr char kHostProgramFile[] = "QeltOne.exe";
constexpr char kHostProduct[] = "QeltOne";

}  // namespace

std::string HostNotFoundToolTip() {
    return std::string(kHostProduct) +
           " was not found on this computer. Type the path of a database file " +
           KnownExtensionsText(FileDrivers()) +
           " or an ODBC connection text such as DSN=Server1, or drop a database file here.";
}

void frmQeltAuditTrigger::Load(const SessionFactory& createSession, const StartupLookups& lookups) {
    const std::string hostFolder = lookups.installedAppPath(kHostProgramFile);
    const std::string dataFolder = lookups.dataPath(hostFolder, kHostProduct);

    view_.SetCaption(view_.Caption() + " (Version " + std::to_string(kVersionMajor) + "." +
                     std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision) + ")");
    view_.SelectTableItem(0);
    session_ = createSession();
    if (!session_) {
        throw Error(kErrCannotCreateObject, "The database session component cannot be created");
    }

    view_.SetDatabaseNameText(lookups.databaseName(hostFolder, dataFolder, kHostProduct));
    // Without an installed host the box holds no more than a default name: the tooltip says
    // what it takes.
    if (hostFolder.empty()) {
        view_.SetDatabaseNameToolTip(HostNotFoundToolTip());
    }
}

void frmQeltAuditTrigger::cmdCreate_Click() {
    if (!session_) {
        return;  // the session has gone with the window; the program is ending
    }
    scriptTakenByRun_ = false;
    scriptShown_ = false;
    CreateAuditScript(*this, *session_);
    script_.Clear();  // between runs the script lives in txtScript only
}

void frmQeltAuditTrigger::cmdClose_Click() {
    session_.reset();
    view_.EndProgram();
}

ScriptBuffer& frmQeltAuditTrigger::Script() {
    scriptTakenByRun_ = true;
    return script_;
}

void frmQeltAuditTrigger::ShowMessage(const std::string& text, MessageStyle style,
                                      const std::string& details) {
    // The box covers the window: what is behind it must already be this run's buffer.
    if (scriptTakenByRun_) {
        ShowScriptBuffer();
    }
    view_.ShowMessageBox(text, style, details);
}

void frmQeltAuditTrigger::ResetPointer() {
    // Every run ends here: the text box gets the buffer while the hourglass is still up. A run
    // that never took the buffer (a failure before it clears it) leaves the text alone.
    if (scriptTakenByRun_ && !scriptShown_) {
        ShowScriptBuffer();
    }
    gui::ResetPointer(view_, &view_);
}

void frmQeltAuditTrigger::ShowScriptBuffer() {
    view_.SetScriptText(script_.Text());
    scriptShown_ = true;
}

}  // namespace qelt::gui
