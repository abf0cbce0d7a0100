// The window program's entry point on Windows.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "auditscript/ExitCodes.h"
#include "dbsession/OdbcSession.h"
#include "mainwindow/FormControls.h"
#include "mainwindow/modMain.h"
#include "mainwindow/win32/Win32FormView.h"
#include "settings/modQLXLib.h"
#include "text/Utf.h"

namespace {

std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) {
        const std::wstring_view arg(__wargv[i]);
        args.push_back(qelt::text::Utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
    }
    return args;
}

bool WriteAll(HANDLE handle, const std::string& text) {
    DWORD written = 0;
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// The window program has no console of its own. Its text goes where standard output was sent
// (a file, a pipe), else to the console of the command prompt that started it, else, started
// from Explorer or a shortcut, into a message box.
int PrintText(const std::string& text) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE &&
        GetFileType(output) != FILE_TYPE_UNKNOWN) {
        return WriteAll(output, text) ? 0 : qelt::exitcode::kExitCannotWrite;
    }
    const std::u16string wide = qelt::text::Utf8ToUtf16(text);
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        DWORD written = 0;
        const bool shown = console != INVALID_HANDLE_VALUE &&
                           WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()),
                                         &written, nullptr) &&
                           written == wide.size();
        if (console != INVALID_HANDLE_VALUE) {
            CloseHandle(console);
        }
        FreeConsole();
        return shown ? 0 : qelt::exitcode::kExitCannotWrite;
    }
    const std::wstring boxText(wide.begin(), wide.end());
    const std::wstring title = qelt::text::Utf8ToUtf16As<wchar_t>(qelt::gui::kApplicationTitle);
    MessageBoxW(nullptr, boxText.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
    return 0;
}

int Run() {
    if (const auto text = qelt::gui::CommandLineText(Arguments())) {
        return PrintText(*text);
    }
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return Run();
    } catch (const std::bad_alloc&) {
        // The report of an earlier failure found no memory either; a box with a fixed text may.
        MessageBoxW(nullptr, L"Out of memory", L"QeltAuditTrigger", MB_OK | MB_ICONERROR);
        return qelt::exitcode::kExitOutOfMemory;
    }
}
