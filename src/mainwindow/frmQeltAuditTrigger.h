#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "auditscript/ScriptBuffer.h"
#include "auditscript/ScriptWindow.h"
#include "dbsession/DBFuncs.h"
#include "mainwindow/MessageBox.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qelt::gui {

// The three host-settings lookups that start-up makes, each once, in the load order of the
// window: the host folder and the data folder before the caption is built, the database name
// after the session object has been created.
struct StartupLookups {
    std::function<std::string(const std::string& programFile)> installedAppPath;
    std::function<std::string(const std::string& hostFolder, const std::string& product)> dataPath;
    std::function<std::string(const std::string& hostFolder, const std::string& dataFolder,
                              const std::string& product)>
        databaseName;
};

// Creates the program's one database session object. May throw; a null result counts as a
// session component that cannot be created.
using SessionFactory = std::function<std::unique_ptr<DatabaseSession>()>;

// The program's one window: the database and item table to read, Create, the script and Close.
// Constructing it is the window's load; an error during the load propagates to the caller.
class frmQeltAuditTrigger final : public QWidget, public ScriptWindow {
    Q_OBJECT

  public:
    frmQeltAuditTrigger(const SessionFactory& createSession, const StartupLookups& lookups,
                        MessagePresenter presentMessage = ShowModalMessageBox);
    ~frmQeltAuditTrigger() override;

    // What the generation run needs of the window.
    std::string ItemTableText() override;
    std::string DatabaseNameText() override;
    ScriptBuffer& Script() override;
    void ShowMessage(const std::string& text, MessageStyle style) override;
    void SetBusyPointer() override;
    void ResetPointer() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();
    void Load(const SessionFactory& createSession, const StartupLookups& lookups);
    void cmdCreate_Click();
    void cmdClose_Click();

    QGroupBox* Frame2_ = nullptr;
    QLabel* Label5_ = nullptr;
    QLineEdit* txtDatabaseName_ = nullptr;
    QLabel* Label3_ = nullptr;
    QComboBox* cmbTable_ = nullptr;
    QPlainTextEdit* txtScript_ = nullptr;
    QPushButton* cmdCreate_ = nullptr;
    QPushButton* cmdClose_ = nullptr;

    MessagePresenter presentMessage_;
    std::unique_ptr<DatabaseSession> session_;
    // The run's script buffer. Between runs the script lives only in txtScript.
    ScriptBuffer script_;
    bool scriptTakenByRun_ = false;
    bool centred_ = false;
};

}  // namespace qelt::gui
