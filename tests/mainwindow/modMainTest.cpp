#include "mainwindow/modMain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
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

TEST(ReportUnhandledErrorTest, WritesNumberAndDescriptionAndFails) {
    std::ostringstream numbered;
    EXPECT_NE(ReportUnhandledError(Error(-2147221164, "Class not registered"), numbered), 0);
    EXPECT_EQ(numbered.str(),
              "QeltAuditTrigger: run-time error -2147221164: Class not registered\n");

    std::ostringstream plain;
    EXPECT_NE(ReportUnhandledError(std::runtime_error("no ODBC environment"), plain), 0);
    EXPECT_EQ(plain.str(), "QeltAuditTrigger: run-time error: no ODBC environment\n");
}

}  // namespace
}  // namespace qelt::gui
