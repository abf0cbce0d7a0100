#include "mainwindow/qt/QtPointer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <functional>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "dbsession/Error.h"

namespace qelt::gui {
namespace {

enum class Target { Window, Null, Omitted };
enum class Shape { Busy, Default };

struct PointerCall {
    Shape shape;
    Target target;
};

struct PointerCase {
    const char* name;
    std::vector<PointerCall> calls;
    Qt::CursorShape windowPointer;
    std::optional<Qt::CursorShape> applicationPointer;  // nullopt: no application-wide pointer
};

void PrintTo(const PointerCase& pointerCase, std::ostream* out) {
    *out << pointerCase.name;
}

class PointerTest : public ::testing::TestWithParam<PointerCase> {
  protected:
    void TearDown() override { ResetPointer(); }
};

TEST_P(PointerTest, SetsItsTargetOutright) {
    QWidget window;
    for (const PointerCall& call : GetParam().calls) {
        QWidget* argument = call.target == Target::Window ? &window : nullptr;
        if (call.target == Target::Omitted) {
            call.shape == Shape::Busy ? SetBusyPointer() : ResetPointer();
        } else {
            call.shape == Shape::Busy ? SetBusyPointer(argument) : ResetPointer(argument);
        }
    }
    EXPECT_EQ(window.cursor().shape(), GetParam().windowPointer);
    const QCursor* application = QApplication::overrideCursor();
    const std::optional<Qt::CursorShape> applicationPointer =
        application != nullptr ? std::optional(application->shape()) : std::nullopt;
    EXPECT_EQ(applicationPointer, GetParam().applicationPointer);
}

constexpr PointerCall BusyOn(Target target) {
    return {Shape::Busy, target};
}
constexpr PointerCall ResetOn(Target target) {
    return {Shape::Default, target};
}

INSTANTIATE_TEST_SUITE_P(
    Calls, PointerTest,
    ::testing::Values(
        PointerCase{"BusyWindow", {BusyOn(Target::Window)}, Qt::WaitCursor, std::nullopt},
        PointerCase{"BusyThenResetWindow",
                    {BusyOn(Target::Window), ResetOn(Target::Window)},
                    Qt::ArrowCursor,
                    std::nullopt},
        PointerCase{"ResetWindowAloneReportsNothing",
                    {ResetOn(Target::Window)},
                    Qt::ArrowCursor,
                    std::nullopt},
        PointerCase{"OneResetUndoesManyBusyOnAWindow",
                    {BusyOn(Target::Window), BusyOn(Target::Window), ResetOn(Target::Window)},
                    Qt::ArrowCursor,
                    std::nullopt},
        PointerCase{"BusyOmittedChangesOnlyTheApplication",
                    {BusyOn(Target::Omitted)},
                    Qt::ArrowCursor,
                    Qt::WaitCursor},
        PointerCase{"BusyNullChangesOnlyTheApplication",
                    {BusyOn(Target::Null)},
                    Qt::ArrowCursor,
                    Qt::WaitCursor},
        PointerCase{"OneResetUndoesManyBusyOnTheApplication",
                    {BusyOn(Target::Null), BusyOn(Target::Omitted), BusyOn(Target::Null),
                     ResetOn(Target::Omitted)},
                    Qt::ArrowCursor,
                    std::nullopt},
        PointerCase{"ResetApplicationAloneReportsNothing",
                    {ResetOn(Target::Null)},
                    Qt::ArrowCursor,
                    std::nullopt},
        PointerCase{"WindowResetLeavesTheApplicationBusy",
                    {BusyOn(Target::Null), BusyOn(Target::Window), ResetOn(Target::Window)},
                    Qt::ArrowCursor,
                    Qt::WaitCursor},
        PointerCase{"ApplicationResetLeavesTheWindowBusy",
                    {BusyOn(Target::Window), BusyOn(Target::Null), ResetOn(Target::Null)},
                    Qt::WaitCursor,
                    std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct UnhandledCase {
    const char* name;
    std::function<void()> raise;
    const char* terminalLine;
    QString boxText;
    int exitCode;
};

void PrintTo(const UnhandledCase& unhandled, std::ostream* out) {
    *out << unhandled.name;
}

class ReportUnhandledErrorTest : public ::testing::TestWithParam<UnhandledCase> {};

TEST_P(ReportUnhandledErrorTest, ShowsNumberAndDescriptionInABoxAndFails) {
    std::ostringstream out;
    std::vector<MessageBoxContent> boxes;
    int exitCode = 0;
    try {
        GetParam().raise();
        FAIL() << "nothing raised";
    } catch (const std::exception& error) {
        exitCode = ReportUnhandledError(
            error, out, [&](QWidget*, const MessageBoxContent& box) { boxes.push_back(box); });
    }
    EXPECT_EQ(exitCode, GetParam().exitCode);
    EXPECT_EQ(out.str(), GetParam().terminalLine);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("QeltAuditTrigger"));
    EXPECT_EQ(boxes[0].text, GetParam().boxText);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ReportUnhandledErrorTest,
    ::testing::Values(
        UnhandledCase{"Numbered", [] { throw Error(-2147221164, "Class not registered"); },
                      "QeltAuditTrigger: run-time error -2147221164: Class not registered\n",
                      QStringLiteral("Run-time error '-2147221164':\n\nClass not registered"), 1},
        UnhandledCase{"Plain", [] { throw std::runtime_error("no ODBC environment"); },
                      "QeltAuditTrigger: run-time error 51: no ODBC environment\n",
                      QStringLiteral("Run-time error '51':\n\nno ODBC environment"), 1},
        UnhandledCase{"OutOfMemory", [] { throw std::bad_alloc(); },
                      "QeltAuditTrigger: run-time error 7: Out of memory\n",
                      QStringLiteral("Run-time error '7':\n\nOut of memory"), 71}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qelt::gui
