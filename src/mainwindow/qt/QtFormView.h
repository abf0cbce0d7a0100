// The window in Qt Widgets.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "mainwindow/frmQeltAuditTrigger.h"
#include "mainwindow/qt/MessageBox.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qelt::gui {

// The window in Qt Widgets: the controls of the form's table, laid out at 96 dots per inch, with
// the form's behaviour behind them. Constructing it is the window's load; an error during the
// load propagates to the caller.
class QtFormView final : public QWidget, public FormView {
    Q_OBJECT

  public:
    QtFormView(const SessionFactory& createSession, const StartupLookups& lookups,
               MessagePresenter presentMessage = ShowModalMessageBox);
    ~QtFormView() override;

    std::string Caption() override;
    void SetCaption(const std::string& caption) override;
    void SelectTableItem(int index) override;
    std::string TableText() override;
    std::string DatabaseNameText() override;
    void SetDatabaseNameText(const std::string& text) override;
    void SetDatabaseNameToolTip(const std::string& text) override;
    void SetScriptText(std::string_view text) override;
    void ShowMessageBox(const std::string& text, MessageStyle style,
                        const std::string& details) override;
    void SetWindowPointer(MousePointer pointer) override;
    void SetApplicationPointer(MousePointer pointer) override;
    void EndProgram() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A local file dropped anywhere on the window names the database: its path goes into
    // txtDatabaseName. The text boxes hand such drops on to the window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();

    QLineEdit* txtDatabaseName_ = nullptr;
    QComboBox* cmbTable_ = nullptr;
    QPlainTextEdit* txtScript_ = nullptr;
    QPushButton* cmdCreate_ = nullptr;
    QPushButton* cmdClose_ = nullptr;

    MessagePresenter presentMessage_;
    frmQeltAuditTrigger form_{*this};
    bool centred_ = false;
};

}  // namespace qelt::gui
