// The busy and the default mouse pointer in Qt.
#include "mainwindow/qt/QtPointer.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

namespace qelt::gui {

namespace {

Qt::CursorShape ShapeOf(MousePointer pointer) {
    return pointer == MousePointer::Hourglass ? Qt::WaitCursor : Qt::ArrowCursor;
}

class QtPointers final : public ApplicationPointer, public PointerWindow {
  public:
    explicit QtPointers(QWidget* window) : window_(window) {}
    void SetApplicationPointer(MousePointer pointer) override { SetQtApplicationPointer(pointer); }
    void SetWindowPointer(MousePointer pointer) override { SetQtWidgetPointer(*window_, pointer); }
    PointerWindow* Window() { return window_ != nullptr ? this : nullptr; }

  private:
    QWidget* window_;
};

}  // namespace

void SetQtApplicationPointer(MousePointer pointer) {
    if (pointer == MousePointer::Default) {
        while (QGuiApplication::overrideCursor() != nullptr) {
            QGuiApplication::restoreOverrideCursor();
        }
    } else if (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::changeOverrideCursor(QCursor(ShapeOf(pointer)));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(ShapeOf(pointer)));
    }
}

void SetQtWidgetPointer(QWidget& widget, MousePointer pointer) {
    if (pointer == MousePointer::Default) {
        widget.unsetCursor();
    } else {
        widget.setCursor(ShapeOf(pointer));
    }
}

void SetBusyPointer(QWidget* window) {
    QtPointers pointers(window);
    SetBusyPointer(pointers, pointers.Window());
}

void ResetPointer(QWidget* window) {
    QtPointers pointers(window);
    ResetPointer(pointers, pointers.Window());
}

int ReportUnhandledError(const std::exception& error, std::ostream& out,
                         const MessagePresenter& presentMessage) {
    const RunTimeError report = DescribeUnhandledError(error);
    out << "QeltAuditTrigger: run-time error " << report.number << ": " << report.description
        << '\n';
    out.flush();
    MessageBoxContent content = MessageBoxFor(RunTimeErrorText(report), MessageStyle::OkOnly, "");
    content.icon = QMessageBox::Critical;
    presentMessage(nullptr, content);
    return UnhandledErrorExitCode(error);
}

}  // namespace qelt::gui
