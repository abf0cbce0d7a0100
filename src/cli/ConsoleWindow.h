// The generation run's window operations on a console: messages go to standard error.
#pragma once

#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

#include "auditscript/ScriptWindow.h"

namespace qelt::cli {

// The window operations of a generation run, for the command line: the texts come from the
// options, the script stays in memory and the run's one message is kept for standard error.
class ConsoleWindow final : public ScriptWindow {
  public:
    ConsoleWindow(std::string itemTable, std::string databaseName)
        : itemTable_(std::move(itemTable)), databaseName_(std::move(databaseName)) {}

    std::string ItemTableText() override { return itemTable_; }
    std::string DatabaseNameText() override { return databaseName_; }
    ScriptBuffer& Script() override { return script_; }
    void ShowMessage(const std::string& text, MessageStyle style,
                     const std::string& details) override {
        message_ = Message{text, style, details};
    }
    void SetBusyPointer() override {}
    void ResetPointer() override {}

    struct Message {
        std::string text;
        MessageStyle style;
        std::string details;
    };
    const std::optional<Message>& ShownMessage() const { return message_; }

  private:
    std::string itemTable_;
    std::string databaseName_;
    ScriptBuffer script_;
    std::optional<Message> message_;
};

// Prints a run's message to standard error: its text, whose CR LF lines become the console's own
// lines, then the reason, as the window shows it behind "Show details", a line each.
inline void PrintRunMessage(const ConsoleWindow::Message& message, std::ostream& err) {
    const auto consoleLines = [](std::string text) {
        std::erase(text, '\r');
        return text;
    };
    err << consoleLines(message.text) << '\n';
    std::istringstream details(consoleLines(message.details));
    for (std::string line; std::getline(details, line);) {
        err << "qeltaudit: " << line << '\n';
    }
}

}  // namespace qelt::cli
