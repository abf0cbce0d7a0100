#include <QApplication>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "dbsession/OdbcSession.h"
#include "mainwindow/frmQeltAuditTrigger.h"
#include "mainwindow/modMain.h"

namespace {

// Stand-ins for the host-settings lookups: no host installation, so the default database file.
std::string NoHostFolder(const std::string&) {
    return {};
}
std::string NoDataFolder(const std::string&, const std::string&) {
    return {};
}
std::string DefaultDatabaseName(const std::string&, const std::string& dataFolder,
                                const std::string& product) {
    return dataFolder + product + ".mdb";
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qelt::gui::kApplicationTitle));

    std::unique_ptr<qelt::gui::frmQeltAuditTrigger> window;
    try {
        window = std::make_unique<qelt::gui::frmQeltAuditTrigger>(
            [] { return std::make_unique<qelt::OdbcSession>(); },
            qelt::gui::StartupLookups{NoHostFolder, NoDataFolder, DefaultDatabaseName});
    } catch (const std::exception& error) {
        return qelt::gui::ReportUnhandledError(error, std::cerr);
    }
    window->show();
    return QApplication::exec();
}
