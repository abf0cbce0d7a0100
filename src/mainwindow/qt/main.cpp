// The window program's entry point on Linux (Qt).
#include <QApplication>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "auditscript/ExitCodes.h"
#include "cli/Files.h"
#include "dbsession/OdbcSession.h"
#include "mainwindow/modMain.h"
#include "mainwindow/qt/QtFormView.h"
#include "mainwindow/qt/QtPointer.h"
#include "settings/modQLXLib.h"

namespace {

int Run(int argc, char** argv, bool outputClosed) {
    // --help and --version need no display, so they are answered before Qt looks for one.
    if (const auto text =
            qelt::gui::CommandLineText(std::vector<std::string>(argv + 1, argv + argc))) {
        // A standard output closed at start has /dev/null behind it, where the text would vanish.
        if (outputClosed) {
            std::fprintf(stderr, "QeltAuditTrigger: cannot write to standard output: %s\n",
                         std::strerror(EBADF));
            return qelt::exitcode::kExitCannotWrite;
        }
        // A reader gone is a failed write (exit 74), not the end of the process.
        std::signal(SIGPIPE, SIG_IGN);
        if (std::fputs(text->c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
            std::perror("QeltAuditTrigger: cannot write to standard output");
            return qelt::exitcode::kExitCannotWrite;
        }
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qelt::gui::kApplicationTitle));

    std::unique_ptr<qelt::gui::QtFormView> window;
    try {
        window = std::make_unique<qelt::gui::QtFormView>(
            [] { return std::make_unique<qelt::OdbcSession>(); },
            qelt::gui::StartupLookups{qelt::GetInstalledAppPath, qelt::GetDataPath,
                                      qelt::GetDatabaseName});
    } catch (const std::exception& error) {
        return qelt::gui::ReportUnhandledError(error, std::cerr);
    }
    window->show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything opens a file, a socket or the display's connection.
    const bool outputClosed = qelt::cli::OpenClosedStandardStreams();
    try {
        return Run(argc, argv, outputClosed);
    } catch (const std::bad_alloc&) {
        // Qt itself found no memory (starting up, or in its event loop), or the report of an
        // earlier failure did not either: no window can say so any more.
        std::fputs("QeltAuditTrigger: out of memory\n", stderr);
        return qelt::exitcode::kExitOutOfMemory;
    }
}
