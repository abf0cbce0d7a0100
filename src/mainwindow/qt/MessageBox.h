// Message boxes in Qt, as Windows shows them.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "auditscript/ScriptWindow.h"
#include "mainwindow/FormControls.h"

namespace qelt::gui {

// Everything a message box shows, so that it can be checked without showing a modal box.
struct MessageBoxContent {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QString detailedText;  // empty: the box has no "Show Details..." button

    friend bool operator==(const MessageBoxContent&, const MessageBoxContent&) = default;
};

// The box for a message of the generation run: its CR LF line ends become line breaks;
// Information shows the information icon, OkOnly none; both have only an OK button. Details
// go behind the box's "Show Details..." button.
MessageBoxContent MessageBoxFor(const std::string& text, MessageStyle style,
                                const std::string& details);

// The message box widget for the content, not yet shown.
std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const MessageBoxContent& content);

// Shows the box modally and returns when the user has closed it.
void ShowModalMessageBox(QWidget* parent, const MessageBoxContent& content);

// How the window shows its message boxes; tests record them instead.
using MessagePresenter = std::function<void(QWidget* parent, const MessageBoxContent& content)>;

}  // namespace qelt::gui
