#pragma once

#include <exception>
#include <ostream>

class QWidget;

namespace qelt::gui {

// The busy and the default mouse pointer. With a window, that window's own pointer changes and
// the application-wide one is left alone; without one (or with null), the application-wide
// pointer changes, which overrides every window's pointer while it is not the default. Each call
// sets its target outright: one ResetPointer undoes any number of SetBusyPointer calls.
void SetBusyPointer(QWidget* window = nullptr);
void ResetPointer(QWidget* window = nullptr);

// Ends start-up after an error nothing handled: writes the error's number (when it has one) and
// description to the stream and returns the program's exit code, which is never 0.
int ReportUnhandledError(const std::exception& error, std::ostream& out);

}  // namespace qelt::gui
