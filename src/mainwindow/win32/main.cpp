#include <windows.h>

#include <exception>
#include <memory>

#include "dbsession/OdbcSession.h"
#include "mainwindow/win32/Win32FormView.h"
#include "settings/modQLXLib.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::unique_ptr<qelt::gui::Win32FormView> window;
    try {
        window = std::make_unique<qelt::gui::Win32FormView>(
            [] { return std::make_unique<qelt::OdbcSession>(); },
            qelt::gui::StartupLookups{qelt::GetInstalledAppPath, qelt::GetDataPath,
                                      qelt::GetDatabaseName});
    } catch (const std::exception& error) {
        return qelt::gui::ReportUnhandledError(error);
    }
    window->Show();
    return qelt::gui::RunMessageLoop(*window);
}
