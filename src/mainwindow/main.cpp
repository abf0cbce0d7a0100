#include <QApplication>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "dbsession/OdbcSession.h"
#include "mainwindow/frmQeltAuditTrigger.h"
#include "mainwindow/modMain.h"
#include "settings/modQLXLib.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qelt::gui::kApplicationTitle));

    std::unique_ptr<qelt::gui::frmQeltAuditTrigger> window;
    try {
        window = std::make_unique<qelt::gui::frmQeltAuditTrigger>(
            [] { return std::make_unique<qelt::OdbcSession>(); },
            qelt::gui::StartupLookups{qelt::GetInstalledAppPath, qelt::GetDataPath,
                                      qelt::GetDatabaseName});
    } catch (const std::exception& error) {
        return qelt::gui::ReportUnhandledError(error, std::cerr);
    }
    window->show();
    return QApplication::exec();
}
