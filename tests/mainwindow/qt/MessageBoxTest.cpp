#include "mainwindow/qt/MessageBox.h"

#include <gtest/gtest.h>

#include <string>

namespace qelt::gui {
namespace {

struct MessageCase {
    const char* name;
    std::string text;
    MessageStyle style;
    QString shownText;
    QMessageBox::Icon icon;
    std::string details;
    QString shownDetails;
};

class MessageBoxTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MessageBoxTest, BoxShowsTheTextUnderTheApplicationTitle) {
    const MessageCase& message = GetParam();
    const MessageBoxContent content = MessageBoxFor(message.text, message.style, message.details);
    EXPECT_EQ(content.title, QStringLiteral("QeltAuditTrigger"));
    EXPECT_EQ(content.text, message.shownText);
    EXPECT_EQ(content.icon, message.icon);
    EXPECT_EQ(content.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    const auto box = BuildMessageBox(nullptr, content);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("QeltAuditTrigger"));
    EXPECT_EQ(box->text(), message.shownText);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->icon(), message.icon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box->detailedText(), message.shownDetails);
    // The details button is one more button beside OK, only where there are details.
    EXPECT_EQ(box->buttons().size(), message.shownDetails.isEmpty() ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, MessageBoxTest,
    ::testing::Values(
        MessageCase{"OpenFailure", "Error Opening the Database.\r\nDSN=Server1",
                    MessageStyle::Information,
                    QStringLiteral("Error Opening the Database.\nDSN=Server1"),
                    QMessageBox::Information, "", QString()},
        MessageCase{"RunError", "Error creating the Trigger\r\nDescription: D\r\nNumber: 5",
                    MessageStyle::OkOnly,
                    QStringLiteral("Error creating the Trigger\nDescription: D\nNumber: 5"),
                    QMessageBox::NoIcon, "", QString()},
        MessageCase{"MarkupStaysText", "Error Opening the Database.\r\n<b>C:\\Ä.mdb</b>",
                    MessageStyle::Information,
                    QString::fromUtf8("Error Opening the Database.\n<b>C:\\Ä.mdb</b>"),
                    QMessageBox::Information, "", QString()},
        MessageCase{"OpenFailureWithDetails", "Error Opening the Database.\r\n/x/Ä.db",
                    MessageStyle::Information,
                    QString::fromUtf8("Error Opening the Database.\n/x/Ä.db"),
                    QMessageBox::Information,
                    "the database file '/x/Ä.db' does not exist\r\nHint: <i>check</i>",
                    QString::fromUtf8("the database file '/x/Ä.db' does not exist\nHint: "
                                      "<i>check</i>")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qelt::gui
