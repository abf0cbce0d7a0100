#include <QApplication>
#include <exception>
#include <iostream>
#include <memory>

#include "dbsession/OdbcSession.h"
#include "mainwindow/qt/QtFormView.h"
#include "mainwindow/qt/QtPointer.h"
#include "settings/modQLXLib.h"

int main(int argc, char** argv) {
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
