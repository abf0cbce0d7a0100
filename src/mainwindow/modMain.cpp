#include "mainwindow/modMain.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

#include "dbsession/Error.h"

namespace qelt::gui {

namespace {

constexpr int kUnhandledErrorExitCode = 1;

void SetApplicationPointer(Qt::CursorShape shape) {
    // The application-wide pointer is a stack in Qt; keep at most one entry so that it behaves
    // as one setting.
    if (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(shape));
    }
}

void ResetApplicationPointer() {
    while (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::restoreOverrideCursor();
    }
}

}  // namespace

void SetBusyPointer(QWidget* window) {
    if (window == nullptr) {
        SetApplicationPointer(Qt::WaitCursor);
    } else {
        window->setCursor(Qt::WaitCursor);
    }
}

void ResetPointer(QWidget* window) {
    if (window == nullptr) {
        ResetApplicationPointer();
    } else {
        // Unsetting rather than setting the arrow lets each control show its own usual pointer.
        window->unsetCursor();
    }
}

int ReportUnhandledError(const std::exception& error, std::ostream& out) {
    if (const auto* numbered = dynamic_cast<const Error*>(&error)) {
        out << "QeltAuditTrigger: run-time error " << numbered->Number() << ": "
            << numbered->Description() << '\n';
    } else {
        out << "QeltAuditTrigger: run-time error: " << error.what() << '\n';
    }
    out.flush();
    return kUnhandledErrorExitCode;
}

}  // namespace qelt::gui
