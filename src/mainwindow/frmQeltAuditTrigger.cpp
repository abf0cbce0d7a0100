// frmQeltAuditTrigger: the window's behaviour, the same behind both views.
#include "mainwindow/frmQeltAuditTrigger.h"

#include <cstdint>

#include "Version.h"
#include "auditscript/GenerationRun.h"
#include "auditscript/SqlQuoting.h"
#include "dbsession/Error.h"
#include "dbsession/FileDrivers.h"

namespace qelt::gui {

namespace {

constexpr char kHostProgramFile[] = "QeltOne.exe";
constexpr char kHostProduct[] = "QeltOne";

}  // namespace

std::string HostNotFoundToolTip() {
    return std::string(kHostProduct) +
           " was not found on this computer. Type the path of a database file " +
           KnownExtensionsText(FileDrivers()) +
           " or an ODBC connection text such as DSN=Server1, or drop a database file here.";
}

void ScriptWarningComment::Clear() {
    lines_.clear();
    count_ = 0;
}

void ScriptWarningComment::Add(std::string_view warning) {
    // A line end inside a warning would end its comment and leave the rest as script: control
    // characters are written as messages write them (\xNN), and so are the Unicode line and
    // paragraph separators, which the Qt text box turns into line ends when the text is copied.
    const std::string escaped = EscapedForMessage(warning);
    lines_ += "-- ";
    for (std::size_t at = 0; at < escaped.size(); ++at) {
        if (escaped.compare(at, 2, "\xE2\x80") == 0 && at + 2 < escaped.size() &&
            (escaped[at + 2] == '\xA8' || escaped[at + 2] == '\xA9')) {
            lines_ += escaped[at + 2] == '\xA8' ? "\\xE2\\x80\\xA8" : "\\xE2\\x80\\xA9";
            at += 2;
        } else {
            lines_ += escaped[at];
        }
    }
    lines_ += "\r\n";
    ++count_;
}

std::string ScriptWarningComment::Before(std::string_view script) const {
    if (count_ == 0) {
        return std::string(script);
    }
    // Short enough to show whole in the window's text box.
    std::string text = "-- QeltAuditTrigger: " + std::to_string(count_) +
                       (count_ == 1 ? " warning. Read it" : " warnings. Read them") +
                       " before you run this script.\r\n";
    text.reserve(text.size() + lines_.size() + 2 + script.size());
    text += lines_;
    text += "\r\n";
    text += script;
    return text;
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
    warnings_.Clear();
    CreateAuditScript(*this, *session_, {},
                      [this](std::string_view warning) { warnings_.Add(warning); });
    // Between runs the script lives in txtScript only.
    script_.Clear();
    warnings_.Clear();
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
    // The box covers the window: what is behind it must already be this run's buffer. A box
    // means the run failed: the lines it wrote stay, without the warnings of a script that is
    // not whole.
    warnings_.Clear();
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
    view_.SetScriptText(warnings_.Before(script_.Text()));
    scriptShown_ = true;
}

}  // namespace qelt::gui
