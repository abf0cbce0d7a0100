// Message boxes in Qt, as Windows shows them.
#include "mainwindow/qt/MessageBox.h"

namespace qelt::gui {

namespace {

QString Lines(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

MessageBoxContent MessageBoxFor(const std::string& text, MessageStyle style,
                                const std::string& details) {
    MessageBoxContent content;
    content.title = QString::fromLatin1(kApplicationTitle);
    content.text = Lines(text);
    content.detailedText = Lines(details);
    content.icon =
        style == MessageStyle::Information ? QMessageBox::Information : QMessageBox::NoIcon;
    content.buttons = QMessageBox::Ok;
    return content;
}

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const MessageBoxContent& content) {
    auto box = std::make_unique<QMessageBox>(content.icon, content.title, content.text,
                                             content.buttons, parent);
    box->setTextFormat(Qt::PlainText);  // database names and error texts are shown as typed
    if (!content.detailedText.isEmpty()) {
        box->setDetailedText(content.detailedText);  // always plain text
    }
    return box;
}

void ShowModalMessageBox(QWidget* parent, const MessageBoxContent& content) {
    BuildMessageBox(parent, content)->exec();
}

}  // namespace qelt::gui
