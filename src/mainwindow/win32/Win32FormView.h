// The window as a native Win32 window.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "mainwindow/FormControls.h"
#include "mainwindow/frmQeltAuditTrigger.h"

namespace qelt::gui {

// The window as a native Win32 window: the controls of the form's table at the window's own dots
// per inch, the keyboard of a dialog, the form's behaviour behind them. Constructing it creates
// the window hidden and runs the load; an error during the load destroys the window and
// propagates to the caller. One window per thread.
class Win32FormView final : public FormView {
  public:
    Win32FormView(const SessionFactory& createSession, const StartupLookups& lookups);
    ~Win32FormView() override;
    Win32FormView(const Win32FormView&) = delete;
    Win32FormView& operator=(const Win32FormView&) = delete;

    // The top-level window and a control's window (HWNDs).
    void* Handle() const;
    void* ControlHandle(ControlId id) const;

    // Shows the window centred on its monitor, with the focus in the first control of the tab
    // order.
    void Show();

    std::string Caption() override;
    void SetCaption(const std::string& caption) override;
    void SelectTableItem(int index) override;
    std::string TableText() override;
    std::string DatabaseNameText() override;
    void SetDatabaseNameText(const std::string& text) override;
    void SetDatabaseNameToolTip(const std::string& text) override;
    void SetScriptText(std::string_view text) override;
    void ShowMessageBox(const std::string& text, MessageStyle style,
                        const std::string& details) override;
    void SetWindowPointer(MousePointer pointer) override;
    void SetApplicationPointer(MousePointer pointer) override;
    void EndProgram() override;

    struct Window;

  private:
    friend int RunMessageLoop(Win32FormView& view);
    friend bool ProcessWaitingMessages(Win32FormView& view);

    frmQeltAuditTrigger form_{*this};
    std::unique_ptr<Window> window_;
};

// Runs the thread's message loop, with the window's keyboard handling, until the program ends;
// returns the exit code.
int RunMessageLoop(Win32FormView& view);

// Handles the messages already waiting in the thread's queue as the message loop does; false
// once the program has ended.
bool ProcessWaitingMessages(Win32FormView& view);

// Ends start-up after an error nothing handled: a message box with the error's number and
// description (there is no console), then the program's exit code, which is never 0
// (kExitOutOfMemory for std::bad_alloc).
int ReportUnhandledError(const std::exception& error);

}  // namespace qelt::gui
