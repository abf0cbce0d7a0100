// modMain: the busy pointer and the report of an error start-up did not handle.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "auditscript/ExitCodes.h"

// The busy pointer and the report of an error that start-up did not handle, for both views.
namespace qelt::gui {

// Mouse pointer codes: the default shape (each window and control shows its usual pointer) and
// the hourglass.
enum class MousePointer : int { Default = 0, Hourglass = 11 };

// The application-wide pointer: while it is not the default it overrides every window's own.
class ApplicationPointer {
  public:
    virtual ~ApplicationPointer() = default;
    virtual void SetApplicationPointer(MousePointer pointer) = 0;
};

// A window whose own pointer can be set.
class PointerWindow {
  public:
    virtual ~PointerWindow() = default;
    virtual void SetWindowPointer(MousePointer pointer) = 0;
};

// With a window, that window's own pointer changes and the application-wide one is left alone;
// without one (null), the application-wide pointer changes. Each call sets its target outright:
// one ResetPointer undoes any number of SetBusyPointer calls.
void SetBusyPointer(ApplicationPointer& application, PointerWindow* window = nullptr);
void ResetPointer(ApplicationPointer& application, PointerWindow* window = nullptr);

// An error that nothing handled, as the platform reports it: its number and description.
struct RunTimeError {
    std::int32_t number;
    std::string description;
};

RunTimeError DescribeUnhandledError(const std::exception& error);

// The report's text: "Run-time error '429':", an empty line and the description (CR LF lines).
std::string RunTimeErrorText(const RunTimeError& error);

// The exit codes: kExitUnhandledError for a program ended by an unhandled error,
// kExitOutOfMemory (qeltaudit's too) for one that ran out of memory.
using namespace exitcode;

int UnhandledErrorExitCode(const std::exception& error);

// The window's own command line: with --help or --version among the arguments (those after the
// program name), the text to print before the program ends, without opening a window; otherwise
// nothing, and the arguments are the toolkit's.
std::optional<std::string> CommandLineText(const std::vector<std::string>& args);

}  // namespace qelt::gui
