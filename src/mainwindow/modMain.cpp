#include "mainwindow/modMain.h"

#include <new>

#include "dbsession/Error.h"

namespace qelt::gui {

namespace {

constexpr std::int32_t kErrOutOfMemory = 7;
constexpr std::int32_t kErrInternal = 51;

void SetPointer(ApplicationPointer& application, PointerWindow* window, MousePointer pointer) {
    if (window == nullptr) {
        application.SetApplicationPointer(pointer);
    } else {
        window->SetWindowPointer(pointer);
    }
}

}  // namespace

void SetBusyPointer(ApplicationPointer& application, PointerWindow* window) {
    SetPointer(application, window, MousePointer::Hourglass);
}

void ResetPointer(ApplicationPointer& application, PointerWindow* window) {
    SetPointer(application, window, MousePointer::Default);
}

RunTimeError DescribeUnhandledError(const std::exception& error) {
    if (const auto* numbered = dynamic_cast<const Error*>(&error)) {
        return {numbered->Number(), numbered->Description()};
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return {kErrOutOfMemory, "Out of memory"};
    }
    return {kErrInternal, error.what()};
}

std::string RunTimeErrorText(const RunTimeError& error) {
    return "Run-time error '" + std::to_string(error.number) + "':\r\n\r\n" + error.description;
}

}  // namespace qelt::gui
