// The busy and the default mouse pointer in Qt.
#pragma once

#include <exception>
#include <ostream>

#include "mainwindow/modMain.h"
#include "mainwindow/qt/MessageBox.h"

class QWidget;

namespace qelt::gui {

// The busy and the default mouse pointer in Qt. With a window, that window's own pointer
// changes; without one (or with null), the application-wide pointer, which overrides every
// window's pointer while it is not the default.
void SetBusyPointer(QWidget* window = nullptr);
void ResetPointer(QWidget* window = nullptr);

// Qt's application-wide pointer, kept as one setting rather than Qt's stack of overrides.
void SetQtApplicationPointer(MousePointer pointer);
// A widget's own pointer; the default unsets it, so that each control shows its usual pointer.
void SetQtWidgetPointer(QWidget& widget, MousePointer pointer);

// Ends start-up after an error nothing handled: shows a message box with the error's number and
// description, writes the same to the stream for a terminal, and returns the program's exit
// code, which is never 0 (kExitOutOfMemory for std::bad_alloc).
int ReportUnhandledError(const std::exception& error, std::ostream& out,
                         const MessagePresenter& presentMessage = ShowModalMessageBox);

}  // namespace qelt::gui
