// The Win32 window's Create, timed inside the window's own process under Wine; bench_window (the
// Google Benchmark program on Linux) starts this program and asks it for one run at a time.
//   stdin:  "sqlite <connection text>" | "columns <count>", then "run" lines; "quit" ends.
//   stdout: per run, the seconds from the click to the script painted, and the script's length.
#include <windows.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "ManyColumns.h"
#include "dbsession/ColumnListSession.h"
#include "dbsession/DBFuncs.h"
#include "dbsession/OdbcSession.h"
#include "mainwindow/win32/Win32FormView.h"

namespace {

using qelt::gui::ControlId;
using qelt::gui::Win32FormView;

std::unique_ptr<Win32FormView> OpenWindow(const std::string& command) {
    const auto space = command.find(' ');
    const std::string kind = command.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : command.substr(space + 1);
    qelt::gui::SessionFactory createSession;
    if (kind == "sqlite") {
        createSession = [] { return std::make_unique<qelt::OdbcSession>(); };
    } else {
        const int count = std::stoi(argument);
        createSession = [count] {
            return std::make_unique<qelt::ColumnListSession>(
                qelt::FieldVector(qelt::bench::ManyColumns(count)));
        };
    }
    auto view = std::make_unique<Win32FormView>(
        createSession, qelt::gui::StartupLookups{
                           [](const std::string&) { return std::string(); },
                           [](const std::string&, const std::string&) { return std::string(); },
                           [argument](const std::string&, const std::string&, const std::string&) {
                               return argument;
                           }});
    view->Show();
    qelt::gui::ProcessWaitingMessages(*view);
    return view;
}

}  // namespace

int main() {
    std::unique_ptr<Win32FormView> view;
    std::string command;
    while (std::getline(std::cin, command) && command != "quit") {
        if (command != "run") {
            view = OpenWindow(command);
            std::cout << "ready" << std::endl;
            continue;
        }
        const auto create = static_cast<HWND>(view->ControlHandle(ControlId::cmdCreate));
        const auto script = static_cast<HWND>(view->ControlHandle(ControlId::txtScript));
        const auto start = std::chrono::steady_clock::now();
        SendMessageW(create, BM_CLICK, 0, 0);
        qelt::gui::ProcessWaitingMessages(*view);
        UpdateWindow(static_cast<HWND>(view->Handle()));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::cout << elapsed.count() << ' ' << GetWindowTextLengthW(script) << std::endl;
    }
    return 0;
}
