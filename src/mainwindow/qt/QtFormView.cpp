// The window in Qt Widgets.
#include "mainwindow/qt/QtFormView.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <map>

#include "auditscript/SQLFuncs.h"
#include "mainwindow/FormControls.h"
#include "mainwindow/qt/QtPointer.h"

// Resources of a static library must be registered by name, outside any namespace.
static void InitialiseWindowResources() {
    Q_INIT_RESOURCE(QeltAuditTrigger);
}

namespace qelt::gui {

namespace {

// Qt lays the window out in its device-independent pixels, which are those of 96 dots per inch.
constexpr int kLayoutDpi = 96;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect ToQRect(const PixelRect& rect) {
    return QRect(rect.left, rect.top, rect.width, rect.height);
}

QFont WindowFont() {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPointSizeF(kFontPoints);
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

QWidget* CreateControl(const ControlSpec& control, QWidget* parent) {
    const QString caption = FromUtf8(control.caption);
    switch (control.kind) {
        case ControlKind::Frame:
            return new QGroupBox(caption, parent);
        case ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            return label;
        }
        case ControlKind::TextBox:
            return new QLineEdit(parent);
        case ControlKind::MultiLineTextBox: {
            auto* text = new QPlainTextEdit(parent);
            // Long script lines scroll rather than wrap; Tab moves on instead of typing a tab.
            text->setLineWrapMode(QPlainTextEdit::NoWrap);
            text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            text->setTabChangesFocus(true);
            return text;
        }
        case ControlKind::DropDownList: {
            auto* list = new QComboBox(parent);
            for (const std::string_view table : ListedItemTables()) {
                list->addItem(FromUtf8(table));
            }
            list->setCurrentIndex(-1);  // start-up selects the first item
            return list;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(caption, parent);
            // Neither button answers Enter or Escape for the window.
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
    }
    return nullptr;
}

// Qt's group box draws its title and border inside its rectangle, down to where the window's
// first row sits. The frame grows upwards until its contents area, as the style measures it,
// ends a layout spacing above its first control, but not beyond the window's top; its other
// edges and every control keep their places in the window.
void RaiseFrameAboveItsControls(QGroupBox& frame) {
    const QList<QWidget*> controls = frame.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    int firstRow = INT_MAX;
    for (const QWidget* control : controls) {
        firstRow = std::min(firstRow, control->y());
    }
    const int spacing =
        frame.style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, &frame);
    const int raise = std::clamp(frame.contentsMargins().top() + spacing - firstRow, 0, frame.y());
    frame.setGeometry(frame.geometry().adjusted(0, -raise, 0, 0));
    for (QWidget* control : controls) {
        control->move(control->x(), control->y() + raise);
    }
}

// The first local file a drag carries, or an empty text.
QString DroppedFile(const QMimeData* data) {
    if (data != nullptr && data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                return url.toLocalFile();
            }
        }
    }
    return {};
}

// The window itself: its name, border, size, title, icon and font.
void SetUpWindow(QWidget& window, const QFont& font) {
    window.setObjectName(QString::fromLatin1(kFormName));
    // Fixed single border: a title bar with the system menu and close box, nothing to resize.
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint);
    const PixelRect client = ClientArea(kLayoutDpi);
    window.setFixedSize(client.width, client.height);
    window.setWindowTitle(QString::fromLatin1(kApplicationTitle));
    window.setWindowIcon(WindowIcon());
    window.setFont(font);
}

}  // namespace

QtFormView::QtFormView(const SessionFactory& createSession, const StartupLookups& lookups,
                       MessagePresenter presentMessage)
    : presentMessage_(std::move(presentMessage)) {
    BuildControls();
    form_.Load(createSession, lookups);
}

QtFormView::~QtFormView() = default;

void QtFormView::BuildControls() {
    InitialiseWindowResources();
    const QFont font = WindowFont();
    SetUpWindow(*this, font);

    // Containers come before the controls placed in them.
    std::map<ControlId, QWidget*> widgets;
    for (const ControlSpec& control : kControls) {
        QWidget* parent = control.container ? widgets.at(*control.container) : this;
        QWidget* widget = CreateControl(control, parent);
        widget->setObjectName(FromUtf8(control.name));
        widget->setGeometry(ToQRect(ContainerRect(control.id, kLayoutDpi)));
        widget->setFont(font);
        widgets[control.id] = widget;
    }
    RaiseFrameAboveItsControls(*static_cast<QGroupBox*>(widgets.at(ControlId::Frame2)));
    txtDatabaseName_ = static_cast<QLineEdit*>(widgets.at(ControlId::txtDatabaseName));
    cmbTable_ = static_cast<QComboBox*>(widgets.at(ControlId::cmbTable));
    txtScript_ = static_cast<QPlainTextEdit*>(widgets.at(ControlId::txtScript));
    cmdCreate_ = static_cast<QPushButton*>(widgets.at(ControlId::cmdCreate));
    cmdClose_ = static_cast<QPushButton*>(widgets.at(ControlId::cmdClose));

    const std::vector<ControlId> tabOrder = TabOrder();
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(widgets.at(tabOrder[i - 1]), widgets.at(tabOrder[i]));
    }
    widgets.at(tabOrder.front())->setFocus();

    connect(cmdCreate_, &QPushButton::clicked, this, [this] { form_.cmdCreate_Click(); });
    connect(cmdClose_, &QPushButton::clicked, this, [this] { form_.cmdClose_Click(); });

    setAcceptDrops(true);
    txtDatabaseName_->installEventFilter(this);
    txtScript_->viewport()->installEventFilter(this);
}

std::string QtFormView::Caption() {
    return windowTitle().toStdString();
}

void QtFormView::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void QtFormView::SelectTableItem(int index) {
    cmbTable_->setCurrentIndex(index);
}

std::string QtFormView::TableText() {
    return cmbTable_->currentText().toStdString();
}

std::string QtFormView::DatabaseNameText() {
    return txtDatabaseName_->text().toStdString();
}

void QtFormView::SetDatabaseNameText(const std::string& text) {
    txtDatabaseName_->setText(QString::fromStdString(text));
}

void QtFormView::SetScriptText(std::string_view text) {
    txtScript_->setPlainText(FromUtf8(text));
}

void QtFormView::SetDatabaseNameToolTip(const std::string& text) {
    txtDatabaseName_->setToolTip(QString::fromStdString(text));
}

void QtFormView::ShowMessageBox(const std::string& text, MessageStyle style,
                                const std::string& details) {
    presentMessage_(this, MessageBoxFor(text, style, details));
}

void QtFormView::SetWindowPointer(MousePointer pointer) {
    SetQtWidgetPointer(*this, pointer);
}

void QtFormView::SetApplicationPointer(MousePointer pointer) {
    SetQtApplicationPointer(pointer);
}

void QtFormView::EndProgram() {
    QCoreApplication::exit(0);
    hide();
}

void QtFormView::showEvent(QShowEvent* event) {
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

void QtFormView::closeEvent(QCloseEvent* event) {
    form_.Unload();
    QWidget::closeEvent(event);
}

void QtFormView::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void QtFormView::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void QtFormView::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (!file.isEmpty()) {
        event->acceptProposedAction();
        form_.DatabaseFileDropped(file.toStdString());
    }
}

bool QtFormView::eventFilter(QObject* watched, QEvent* event) {
    // A file dropped on a text box names the database rather than being typed into the box;
    // dragged text still goes into the box.
    const QEvent::Type type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!DroppedFile(drop->mimeData()).isEmpty()) {
            if (type == QEvent::Drop) {
                dropEvent(drop);
            } else {
                drop->acceptProposedAction();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qelt::gui
