#include "mainwindow/frmQeltAuditTrigger.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <array>
#include <utility>

#include "Version.h"
#include "auditscript/GenerationRun.h"
#include "dbsession/Error.h"
#include "mainwindow/modMain.h"

// Resources of a static library must be registered by name, outside any namespace.
static void InitialiseWindowResources() {
    Q_INIT_RESOURCE(QeltAuditTrigger);
}

namespace qelt::gui {

namespace {

constexpr std::int32_t kErrCannotCreateObject = 429;

// The window is laid out in twips, 15 to a pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

struct TwipsRect {
    int left, top, width, height;
};

QRect ToPixels(const TwipsRect& twips) {
    return QRect(twips.left / kTwipsPerPixel, twips.top / kTwipsPerPixel,
                 twips.width / kTwipsPerPixel, twips.height / kTwipsPerPixel);
}

constexpr int kClientWidthTwips = 6555;
constexpr int kClientHeightTwips = 7230;
// Positions inside Frame2 are relative to the frame.
constexpr TwipsRect kFrame2{180, 120, 6135, 1155};
constexpr TwipsRect kLabel5{60, 330, 1095, 240};
constexpr TwipsRect kTxtDatabaseName{1215, 285, 4740, 285};
constexpr TwipsRect kLabel3{60, 690, 1095, 240};
constexpr TwipsRect kCmbTable{1215, 645, 4740, 315};
constexpr TwipsRect kTxtScript{180, 1425, 6135, 4965};
constexpr TwipsRect kCmdCreate{1590, 6675, 1635, 330};
constexpr TwipsRect kCmdClose{3330, 6675, 1635, 330};

constexpr std::array kItemTables{"Companies", "Contacts", "Consultants", "Requirements"};

constexpr char kHostProgramFile[] = "QeltOne.exe";
constexpr char kHostProduct[] = "QeltOne";

QFont WindowFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);  // the platform's substitute where Tahoma is missing
    return font;
}

QIcon WindowIcon() {
    QIcon icon;
    for (const int size : {32, 16, 48}) {
        icon.addFile(QStringLiteral(":/qelt/QeltAuditTrigger-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

template <typename Control>
Control* Place(Control* control, const char* name, const TwipsRect& twips, const QFont& font) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(ToPixels(twips));
    control->setFont(font);
    return control;
}

}  // namespace

frmQeltAuditTrigger::frmQeltAuditTrigger(const SessionFactory& createSession,
                                         const StartupLookups& lookups,
                                         MessagePresenter presentMessage)
    : presentMessage_(std::move(presentMessage)) {
    BuildControls();
    Load(createSession, lookups);
}

frmQeltAuditTrigger::~frmQeltAuditTrigger() = default;

void frmQeltAuditTrigger::BuildControls() {
    InitialiseWindowResources();
    setObjectName(QStringLiteral("frmQeltAuditTrigger"));
    // Fixed single border: a title bar with the system menu and close box, nothing to resize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setWindowIcon(WindowIcon());
    const QFont font = WindowFont();
    setFont(font);

    Frame2_ = Place(new QGroupBox(QStringLiteral("SQL Server Information"), this), "Frame2",
                    kFrame2, font);
    Label5_ = Place(new QLabel(QStringLiteral("Database:"), Frame2_), "Label5", kLabel5, font);
    txtDatabaseName_ = Place(new QLineEdit(Frame2_), "txtDatabaseName", kTxtDatabaseName, font);
    Label3_ = Place(new QLabel(QStringLiteral("Table:"), Frame2_), "Label3", kLabel3, font);
    cmbTable_ = Place(new QComboBox(Frame2_), "cmbTable", kCmbTable, font);
    txtScript_ = Place(new QPlainTextEdit(this), "txtScript", kTxtScript, font);
    cmdCreate_ =
        Place(new QPushButton(QStringLiteral("&Create"), this), "cmdCreate", kCmdCreate, font);
    cmdClose_ = Place(new QPushButton(QStringLiteral("Cl&ose"), this), "cmdClose", kCmdClose, font);

    for (QLabel* label : {Label5_, Label3_}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    for (const char* table : kItemTables) {
        cmbTable_->addItem(QString::fromLatin1(table));
    }
    cmbTable_->setCurrentIndex(-1);  // start-up selects the first item

    // Long script lines scroll rather than wrap; Tab moves on instead of typing a tab.
    txtScript_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtScript_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtScript_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtScript_->setTabChangesFocus(true);

    // Neither button answers Enter or Escape for the window.
    for (QPushButton* button : {cmdCreate_, cmdClose_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    QWidget::setTabOrder(txtDatabaseName_, cmdCreate_);
    QWidget::setTabOrder(cmdCreate_, cmdClose_);
    QWidget::setTabOrder(cmdClose_, txtScript_);
    QWidget::setTabOrder(txtScript_, cmbTable_);
    txtDatabaseName_->setFocus();

    connect(cmdCreate_, &QPushButton::clicked, this, &frmQeltAuditTrigger::cmdCreate_Click);
    connect(cmdClose_, &QPushButton::clicked, this, &frmQeltAuditTrigger::cmdClose_Click);
}

void frmQeltAuditTrigger::Load(const SessionFactory& createSession, const StartupLookups& lookups) {
    const std::string hostFolder = lookups.installedAppPath(kHostProgramFile);
    const std::string dataFolder = lookups.dataPath(hostFolder, kHostProduct);

    setWindowTitle(windowTitle() + QStringLiteral(" (Version %1.%2.%3)")
                                       .arg(kVersionMajor)
                                       .arg(kVersionMinor)
                                       .arg(kVersionRevision));
    cmbTable_->setCurrentIndex(0);
    session_ = createSession();
    if (!session_) {
        throw Error(kErrCannotCreateObject, "The database session component cannot be created");
    }

    const std::string databaseName = lookups.databaseName(hostFolder, dataFolder, kHostProduct);
    txtDatabaseName_->setText(QString::fromStdString(databaseName));
}

std::string frmQeltAuditTrigger::ItemTableText() {
    return cmbTable_->currentText().toStdString();
}

std::string frmQeltAuditTrigger::DatabaseNameText() {
    return txtDatabaseName_->text().toStdString();
}

ScriptBuffer& frmQeltAuditTrigger::Script() {
    scriptTakenByRun_ = true;
    return script_;
}

void frmQeltAuditTrigger::ShowMessage(const std::string& text, MessageStyle style) {
    presentMessage_(this, MessageBoxFor(text, style));
}

void frmQeltAuditTrigger::SetBusyPointer() {
    gui::SetBusyPointer(this);
}

void frmQeltAuditTrigger::ResetPointer() {
    gui::ResetPointer(this);
}

void frmQeltAuditTrigger::showEvent(QShowEvent* event) {
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        if (const QScreen* display = screen()) {
            move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameGeometry().size(),
                                     display->availableGeometry())
                     .topLeft());
        }
    }
    QWidget::showEvent(event);
}

void frmQeltAuditTrigger::cmdCreate_Click() {
    if (!session_) {
        return;  // Close has released the session; the program is ending
    }
    scriptTakenByRun_ = false;
    CreateAuditScript(*this, *session_);
    // A run that never took the buffer (a failure before it clears it) leaves the text alone.
    if (scriptTakenByRun_) {
        txtScript_->setPlainText(QString::fromStdString(script_.TakeText()));
    }
}

void frmQeltAuditTrigger::cmdClose_Click() {
    session_.reset();
    QCoreApplication::exit(0);
    hide();
}

}  // namespace qelt::gui
