// The window operations a generation run needs, whichever program shows them.
#pragma once

#include <string>

#include "auditscript/ScriptBuffer.h"

namespace qelt {

// Message box styles the generation run uses.
enum class MessageStyle : int {
    OkOnly = 0,        // OK button, no icon
    Information = 64,  // information icon and OK button
};

// What the generation run needs of the main window. The Qt window implements it for real; the
// command line prints instead of showing boxes; tests record every call.
class ScriptWindow {
  public:
    virtual ~ScriptWindow() = default;

    virtual std::string ItemTableText() = 0;     // the text of cmbTable
    virtual std::string DatabaseNameText() = 0;  // the text of txtDatabaseName
    // The script buffer behind txtScript; the run clears it and appends to it. The window shows
    // its text once the run has ended.
    virtual ScriptBuffer& Script() = 0;
    // A modal message with no caption of its own; returns when the user has closed it. The
    // details (the failure's reason, CR LF lines; may be empty) are shown on request.
    virtual void ShowMessage(const std::string& text, MessageStyle style,
                             const std::string& details) = 0;
    virtual void SetBusyPointer() = 0;
    virtual void ResetPointer() = 0;
};

}  // namespace qelt
