// frmQeltAuditTrigger: the window's behaviour, the same behind both views.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "auditscript/ScriptBuffer.h"
#include "auditscript/ScriptWindow.h"
#include "dbsession/DBFuncs.h"
#include "mainwindow/modMain.h"

namespace qelt::gui {

// The three host-settings lookups that start-up makes, each once, in the load order of the
// window: the host folder and the data folder before the caption is built, the database name
// after the session object has been created.
struct StartupLookups {
    std::function<std::string(const std::string& programFile)> installedAppPath;
    std::function<std::string(const std::string& hostFolder, const std::string& product)> dataPath;
    std::function<std::string(const std::string& hostFolder, const std::string& dataFolder,
                              const std::string& product)>
        databaseName;
};

// txtDatabaseName's tooltip when start-up finds no host installation: what to type instead.
std::string HostNotFoundToolTip();

// The T-SQL comment that heads txtScript's script when the run warns of what the script cannot
// mend: in the script itself, the warnings go wherever it is copied. A run without warnings shows
// the script alone.
class ScriptWarningComment {
  public:
    void Clear();
    // One comment line for the warning, worded as qeltaudit words it on standard error.
    void Add(std::string_view warning);
    // The comment (a heading, a line each warning, an empty line) followed by the script; the
    // script alone when no warning was added.
    std::string Before(std::string_view script) const;

  private:
    std::string lines_;
    std::size_t count_ = 0;
};

// Creates the program's one database session object. May throw; a null result counts as a
// session component that cannot be created.
using SessionFactory = std::function<std::unique_ptr<DatabaseSession>()>;

// What the form needs of a toolkit's window: the controls' texts, the modal message box, the
// pointers and the end of the program. Texts are UTF-8.
class FormView : public PointerWindow, public ApplicationPointer {
  public:
    virtual std::string Caption() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SelectTableItem(int index) = 0;  // the list index of cmbTable
    virtual std::string TableText() = 0;
    virtual std::string DatabaseNameText() = 0;
    virtual void SetDatabaseNameText(const std::string& text) = 0;
    virtual void SetDatabaseNameToolTip(const std::string& text) = 0;
    // Replaces the text of txtScript; its CR LF line ends stay as they are.
    virtual void SetScriptText(std::string_view text) = 0;
    // A modal box titled with the application title; returns when the user has closed it.
    // Non-empty details (CR LF lines) are shown on request, behind a "Show details" control.
    virtual void ShowMessageBox(const std::string& text, MessageStyle style,
                                const std::string& details) = 0;
    // Hides the window and ends the program's event loop: no further event is processed.
    virtual void EndProgram() = 0;
};

// The program's one window, written once for every toolkit: start-up, Create and Close. The
// view owns it and forwards the window's events to it.
class frmQeltAuditTrigger final : public ScriptWindow {
  public:
    explicit frmQeltAuditTrigger(FormView& view) : view_(view) {}

    // The window's load, before it is first shown. Errors propagate: start-up has no handler.
    void Load(const SessionFactory& createSession, const StartupLookups& lookups);

    void cmdCreate_Click();
    void cmdClose_Click();
    // A file was dropped on the window: txtDatabaseName takes its path.
    void DatabaseFileDropped(const std::string& path) { view_.SetDatabaseNameText(path); }
    // The window went by the window system's own means: the session is released with it.
    void Unload() { session_.reset(); }

    // What the generation run needs of the window. The run's appends collect in the script
    // buffer; txtScript shows them before any message box, or else as the run ends, headed by
    // the run's warnings.
    std::string ItemTableText() override { return view_.TableText(); }
    std::string DatabaseNameText() override { return view_.DatabaseNameText(); }
    ScriptBuffer& Script() override;
    void ShowMessage(const std::string& text, MessageStyle style,
                     const std::string& details) override;
    void SetBusyPointer() override { gui::SetBusyPointer(view_, &view_); }
    void ResetPointer() override;

  private:
    void ShowScriptBuffer();

    FormView& view_;
    std::unique_ptr<DatabaseSession> session_;
    ScriptBuffer script_;
    ScriptWarningComment warnings_;
    // Whether the running Create has taken the buffer (and so cleared it), and whether its text
    // is already on screen.
    bool scriptTakenByRun_ = false;
    bool scriptShown_ = false;
};

}  // namespace qelt::gui
