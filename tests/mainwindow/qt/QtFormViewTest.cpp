#include "mainwindow/qt/QtFormView.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "auditscript/ScriptWarnings.h"
#include "auditscript/WorkedExample.h"
#include "dbsession/OdbcSession.h"
#include "mainwindow/ExpectedLayout.h"
#include "support/ColumnFacts.h"
#include "support/FakeSession.h"
#include "support/TempFolder.h"

namespace qelt::gui {
namespace {

using qelt::test::FakeSession;
using qelt::test::FakeSessionState;
using ::testing::ElementsAre;

using qelt::test::kCompaniesColumns;

// Processes events until the condition holds or two seconds have passed.
bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 2000) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// Golden script text as a text box shows it, with LF line ends.
QString Shown(const std::string& script) {
    return QString::fromStdString(script).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() { state->columns = kCompaniesColumns; }

    std::unique_ptr<QtFormView> MakeWindow() {
        auto sessionState = state;
        auto window = std::make_unique<QtFormView>(
            [sessionState] { return std::make_unique<FakeSession>(sessionState); },
            StartupLookups{
                [](const std::string&) { return std::string("C:\\QeltOne\\"); },
                [](const std::string&, const std::string&) { return std::string("C:\\Data\\"); },
                [](const std::string&, const std::string&, const std::string&) {
                    return std::string("C:\\Data\\QeltOne.mdb");
                }},
            [this](QWidget* parent, const MessageBoxContent& content) {
                messages.push_back(content);
                scriptsBehindMessages.push_back(ScriptText(*parent));
            });
        return window;
    }

    // Shows the window and makes it the active one, as keyboard input needs.
    void ShowActive(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template <typename Control>
    static Control* Find(QWidget& window, const char* name) {
        auto* control = window.findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    void Create(QWidget& window) { Find<QPushButton>(window, "cmdCreate")->click(); }

    static QString ScriptText(QWidget& window) {
        return Find<QPlainTextEdit>(window, "txtScript")->toPlainText();
    }

    std::shared_ptr<FakeSessionState> state = std::make_shared<FakeSessionState>();
    std::vector<MessageBoxContent> messages;
    std::vector<QString> scriptsBehindMessages;  // txtScript's text while each box was up
};

// --- layout ---------------------------------------------------------------------------------

// Each control at its place in the window (the twips layout at 96 dots per inch of Qt's
// device-independent pixels), in its container, with the window font.
class LayoutTest : public MainWindowTest,
                   public ::testing::WithParamInterface<test::ExpectedPlace> {};

TEST_P(LayoutTest, ControlSitsAtItsPlaceInTheWindowWithTheWindowFont) {
    const test::ExpectedPlace& expected = GetParam();
    auto window = MakeWindow();
    auto* control = Find<QWidget>(*window, expected.name);
    ASSERT_NE(control, nullptr);
    const char* container = Control(expected.id).container ? "Frame2" : "frmQeltAuditTrigger";
    EXPECT_EQ(control->parentWidget()->objectName(), QString::fromLatin1(container));
    const QRect inWindow(control->mapTo(window.get(), QPoint(0, 0)), control->size());
    const QRect place(expected.at96.left, expected.at96.top, expected.at96.width,
                      expected.at96.height);
    if (expected.id == ControlId::Frame2) {
        // Above its place only as far as its title and border need (FrameTest).
        EXPECT_EQ(inWindow.left(), place.left());
        EXPECT_EQ(inWindow.right(), place.right());
        EXPECT_EQ(inWindow.bottom(), place.bottom());
        EXPECT_LE(inWindow.top(), place.top());
    } else {
        EXPECT_EQ(inWindow, place);
    }
    EXPECT_EQ(control->font().family(), QStringLiteral("Tahoma"));
    EXPECT_DOUBLE_EQ(control->font().pointSizeF(), 8.25);
    EXPECT_FALSE(control->font().bold() || control->font().italic() ||
                 control->font().underline() || control->font().strikeOut());
    EXPECT_TRUE(control->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Controls, LayoutTest, ::testing::ValuesIn(test::kExpectedPlaces),
                         [](const auto& info) { return std::string(info.param.name); });

// The group box's title and border, as the style draws them, end a layout spacing above the
// first row; the frame stays inside the window and its controls inside its contents area.
TEST_F(MainWindowTest, FrameTitleAndBorderEndASpacingAboveTheFirstRow) {
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* frame = Find<QGroupBox>(*window, "Frame2");
    ASSERT_NE(frame, nullptr);
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect title = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, frame);
    const int spacing =
        frame->style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, frame);
    const QList<QWidget*> controls = frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(controls.size(), 4);
    EXPECT_GE(frame->y(), 0);
    for (const QWidget* control : controls) {
        const std::string name = control->objectName().toStdString();
        EXPECT_LE(title.bottom() + spacing, control->y()) << name;
        EXPECT_LE(frame->contentsRect().top() + spacing, control->y()) << name;
        EXPECT_TRUE(frame->contentsRect().contains(control->geometry())) << name;
    }
}

TEST_F(MainWindowTest, WindowHasAFixedClientAreaAndNoMinimiseOrMaximiseButton) {
    auto window = MakeWindow();
    EXPECT_EQ(window->size(), QSize(437, 482));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(MainWindowTest, WindowIsCentredOnTheScreenWhenFirstShown) {
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QPoint offset =
        window->frameGeometry().center() - window->screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

TEST_F(MainWindowTest, CaptionsTextsAndItemsAreThoseOfTheWindow) {
    auto window = MakeWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("QeltAuditTrigger (Version 3.6.2)"));
    EXPECT_EQ(Find<QGroupBox>(*window, "Frame2")->title(),
              QStringLiteral("SQL Server Information"));
    EXPECT_EQ(Find<QLabel>(*window, "Label5")->text(), QStringLiteral("Database:"));
    EXPECT_EQ(Find<QLabel>(*window, "Label3")->text(), QStringLiteral("Table:"));
    EXPECT_EQ(Find<QPushButton>(*window, "cmdCreate")->text(), QStringLiteral("&Create"));
    EXPECT_EQ(Find<QPushButton>(*window, "cmdClose")->text(), QStringLiteral("Cl&ose"));
    for (const char* label : {"Label5", "Label3"}) {
        EXPECT_TRUE(Find<QLabel>(*window, label)->alignment() & Qt::AlignRight) << label;
    }

    auto* table = Find<QComboBox>(*window, "cmbTable");
    QStringList items;
    for (int i = 0; i < table->count(); ++i) {
        items << table->itemText(i);
    }
    EXPECT_EQ(items, QStringList({"Companies", "Contacts", "Consultants", "Requirements"}));
    EXPECT_FALSE(table->isEditable());
    EXPECT_EQ(table->currentText(), QStringLiteral("Companies"));

    auto* script = Find<QPlainTextEdit>(*window, "txtScript");
    EXPECT_TRUE(script->toPlainText().isEmpty());
    EXPECT_EQ(script->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(script->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(script->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(script->isReadOnly());
    EXPECT_FALSE(Find<QLineEdit>(*window, "txtDatabaseName")->isReadOnly());
}

TEST_F(MainWindowTest, IconHasSixteenColourImagesOfThreeSizes) {
    auto window = MakeWindow();
    const QIcon icon = window->windowIcon();
    EXPECT_THAT(icon.availableSizes(),
                ::testing::UnorderedElementsAre(QSize(16, 16), QSize(32, 32), QSize(48, 48)));
    for (const QSize& size : icon.availableSizes()) {
        const QImage image = icon.pixmap(size).toImage();
        ASSERT_EQ(image.size(), size);
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) != 0) {
                    colours.insert(image.pixel(x, y));
                }
            }
        }
        EXPECT_LE(colours.size(), 16) << size.width();
        EXPECT_GE(colours.size(), 4) << size.width();
    }
}

// --- keyboard ---------------------------------------------------------------------------------

TEST_F(MainWindowTest, FocusStartsInTheDatabaseBoxAndTabFollowsTheTabOrder) {
    auto window = MakeWindow();
    ShowActive(*window);
    std::vector<QString> visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget()->objectName());
    }
    EXPECT_THAT(visited, ElementsAre("txtDatabaseName", "cmdCreate", "cmdClose", "txtScript",
                                     "cmbTable", "txtDatabaseName"));
}

TEST_F(MainWindowTest, AltCRunsCreate) {
    auto window = MakeWindow();
    ShowActive(*window);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return state->OpenCount() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return !ScriptText(*window).isEmpty(); }));
}

TEST_F(MainWindowTest, AltOClosesTheWindowReleasesTheSessionAndEndsTheProgram) {
    auto window = MakeWindow();
    ShowActive(*window);
    QTimer::singleShot(0, window.get(),
                       [&] { QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(state->destroyed);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, ClosingByTheWindowSystemEndsTheProgram) {
    auto window = MakeWindow();
    ShowActive(*window);
    QTimer::singleShot(0, window.get(), [&] { window->close(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    window.reset();
    EXPECT_TRUE(state->destroyed);
}

struct KeyPress {
    const char* control;
    Qt::Key key;
};

void PrintTo(const KeyPress& press, std::ostream* out) {
    *out << press.control << " key " << press.key;
}

class InertKeyTest : public MainWindowTest, public ::testing::WithParamInterface<KeyPress> {};

TEST_P(InertKeyTest, KeyRunsNothingAndClosesNothing) {
    auto window = MakeWindow();
    ShowActive(*window);
    QWidget* control = Find<QWidget>(*window, GetParam().control);
    control->setFocus();
    QTest::keyClick(control, GetParam().key);
    QTest::qWait(200);  // longer than a button's animated click
    EXPECT_EQ(state->OpenCount(), 0u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(state->destroyed);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(EnterAndEscape, InertKeyTest,
                         ::testing::Values(KeyPress{"txtDatabaseName", Qt::Key_Return},
                                           KeyPress{"txtDatabaseName", Qt::Key_Enter},
                                           KeyPress{"txtScript", Qt::Key_Return},
                                           KeyPress{"txtDatabaseName", Qt::Key_Escape},
                                           KeyPress{"txtScript", Qt::Key_Escape},
                                           KeyPress{"cmbTable", Qt::Key_Escape}),
                         [](const auto& info) {
                             return std::string(info.param.control) +
                                    (info.param.key == Qt::Key_Escape  ? "Escape"
                                     : info.param.key == Qt::Key_Enter ? "Enter"
                                                                       : "Return");
                         });

// --- Create -----------------------------------------------------------------------------------

// What txtScript shows after the run: the run's whole buffer (complete or cut short by an
// error), nothing, or the text from before the run.
enum class ScriptAfterRun { Whole, LinesBeforeTheSetList, Empty, Untouched };

struct RunCase {
    const char* name;
    std::function<void(FakeSessionState&)> arrange;
    std::optional<MessageBoxContent> message;
    ScriptAfterRun script;
};

void PrintTo(const RunCase& run, std::ostream* out) {
    *out << run.name;
}

const QString kEarlierText = QStringLiteral("text typed before the run");

class CreateRunTest : public MainWindowTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(CreateRunTest, ShowsTheRightMessageAndScriptAndRestoresThePointer) {
    const RunCase& run = GetParam();
    run.arrange(*state);
    auto window = MakeWindow();
    auto* script = Find<QPlainTextEdit>(*window, "txtScript");
    script->setPlainText(kEarlierText);
    std::optional<Qt::CursorShape> pointerDuringRun;
    state->onOpenDatabase = [&] { pointerDuringRun = window->cursor().shape(); };

    Create(*window);

    if (run.message) {
        EXPECT_THAT(messages, ElementsAre(*run.message));
        // The box never covers an older text than the one the run leaves.
        EXPECT_THAT(scriptsBehindMessages, ElementsAre(script->toPlainText()));
    } else {
        EXPECT_TRUE(messages.empty());
    }
    switch (run.script) {
        case ScriptAfterRun::Whole:
            EXPECT_EQ(script->toPlainText(), Shown(qelt::test::CompaniesScript()));
            break;
        case ScriptAfterRun::LinesBeforeTheSetList:
            EXPECT_EQ(script->toPlainText(), Shown(qelt::test::CompaniesLinesBeforeTheSetList()));
            break;
        case ScriptAfterRun::Empty:
            EXPECT_TRUE(script->toPlainText().isEmpty());
            break;
        case ScriptAfterRun::Untouched:
            EXPECT_EQ(script->toPlainText(), kEarlierText);
            break;
    }
    if (state->OpenCount() > 0) {
        EXPECT_EQ(pointerDuringRun, Qt::WaitCursor);
    }
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

MessageBoxContent Box(const char* text, QMessageBox::Icon icon) {
    return MessageBoxContent{QStringLiteral("QeltAuditTrigger"), QString::fromUtf8(text), icon,
                             QMessageBox::Ok, QString()};
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CreateRunTest,
    ::testing::Values(
        RunCase{"Succeeds", [](FakeSessionState&) {}, std::nullopt, ScriptAfterRun::Whole},
        RunCase{"FailsAfterTheLinesBeforeTheSetList",
                [](FakeSessionState& s) { s.returnsNoRecordset = true; },
                Box("Error creating the Trigger\nDescription: The probe query returned no "
                    "recordset\nNumber: 91",
                    QMessageBox::NoIcon),
                ScriptAfterRun::LinesBeforeTheSetList},
        RunCase{"DatabaseDoesNotOpen", [](FakeSessionState& s) { s.opens = false; },
                Box("Error Opening the Database.\nC:\\Data\\QeltOne.mdb", QMessageBox::Information),
                ScriptAfterRun::Empty},
        RunCase{"OpeningRaisesAnError", [](FakeSessionState& s) { s.openError = Error(5, "D"); },
                Box("Error creating the Trigger\nDescription: D\nNumber: 5", QMessageBox::NoIcon),
                ScriptAfterRun::Empty},
        RunCase{"FailsBeforeTheBufferIsCleared",
                [](FakeSessionState& s) { s.uppercaseError = Error(438, "No such property"); },
                Box("Error creating the Trigger\nDescription: No such property\nNumber: 438",
                    QMessageBox::NoIcon),
                ScriptAfterRun::Untouched}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, SecondCreateReplacesTheFirstScript) {
    auto window = MakeWindow();
    Create(*window);
    ASSERT_FALSE(ScriptText(*window).isEmpty());

    Find<QComboBox>(*window, "cmbTable")->setCurrentIndex(1);
    Create(*window);
    const QString contacts = ScriptText(*window);
    // Companies' columns lack Contacts' key and display columns: warned of above the script.
    EXPECT_TRUE(contacts.startsWith(QStringLiteral("-- QeltAuditTrigger: 2 warnings.")));
    EXPECT_TRUE(
        contacts.contains(QStringLiteral("\n\nCREATE TABLE [dbo].[AuditTrailContacts] (\n")));
    EXPECT_TRUE(contacts.endsWith(QStringLiteral("\nGO\n")));
    EXPECT_FALSE(contacts.contains(QStringLiteral("Companies")));

    state->opens = false;
    Create(*window);
    EXPECT_TRUE(ScriptText(*window).isEmpty());
    EXPECT_THAT(scriptsBehindMessages, ElementsAre(QString()));
}

// The run's warnings head the script, in view from its first line even when the box was
// scrolled down, and go with the script when it is copied.
TEST_F(MainWindowTest, WarningsShowAboveTheScriptAndAreCopiedWithIt) {
    auto window = MakeWindow();
    ShowActive(*window);
    auto* script = Find<QPlainTextEdit>(*window, "txtScript");
    Create(*window);
    script->moveCursor(QTextCursor::End);
    ASSERT_GT(script->verticalScrollBar()->value(), 0);

    state->columns[1].Facts = qelt::test::SizeFacts(100);  // wider than the audit DisplayName
    ScriptWarningComment comment;
    AuditScriptWarnings("Companies", "CompanyIntID", "CompanyName", FieldVector(state->columns),
                        TableFacts(), [&comment](std::string_view text) { comment.Add(text); });
    const QString expected = Shown(comment.Before(qelt::test::CompaniesScript()));
    ASSERT_TRUE(expected.startsWith(QStringLiteral("-- QeltAuditTrigger: 1 warning.")));
    Create(*window);

    EXPECT_EQ(script->toPlainText(), expected);
    EXPECT_EQ(script->verticalScrollBar()->value(), 0);
    EXPECT_EQ(script->cursorForPosition(QPoint(1, 1)).block().text(),
              expected.section(QLatin1Char('\n'), 0, 0));
    script->setFocus();
    QTest::keyClick(script, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(script, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
}

TEST_F(MainWindowTest, CreateUsesTheDatabaseTextAsTheUserLeftIt) {
    auto window = MakeWindow();
    ShowActive(*window);
    auto* database = Find<QLineEdit>(*window, "txtDatabaseName");
    database->selectAll();
    QTest::keyClicks(database, QStringLiteral("DSN=Server1;Übung"));
    Create(*window);
    EXPECT_THAT(state->DatabaseNames(), ElementsAre("DSN=Server1;Übung"));
    EXPECT_EQ(database->text(), QStringLiteral("DSN=Server1;Übung"));
}

// --- why a run failed -------------------------------------------------------------------------

// The box keeps its text; the driver's reason and a hint wait behind "Show Details...".
struct DetailsCase {
    const char* name;
    std::string database;  // "@" stands for the test's folder
    const char* messageStart;
    std::vector<const char*> detailParts;
};

void PrintTo(const DetailsCase& details, std::ostream* out) {
    *out << details.name;
}

class FailureDetailsTest : public MainWindowTest,
                           public ::testing::WithParamInterface<DetailsCase> {};

TEST_P(FailureDetailsTest, BoxShowsTheReasonBehindShowDetails) {
    qelt::test::TempFolder folder;
    qelt::test::WriteFile(folder.Path() / "notes.db", std::string(4096, 'x'));
    std::string database = GetParam().database;
    database.replace(database.find('@'), 1, folder.Path().string());
    QtFormView window(
        [] { return std::make_unique<OdbcSession>(); },
        StartupLookups{[](const std::string&) { return std::string("H\\"); },
                       [](const std::string&, const std::string&) { return std::string("D\\"); },
                       [database](const std::string&, const std::string&, const std::string&) {
                           return database;
                       }},
        [this](QWidget*, const MessageBoxContent& content) { messages.push_back(content); });
    Create(window);

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QString::fromLatin1(GetParam().messageStart)))
        << messages[0].text.toStdString();
    const auto box = BuildMessageBox(&window, messages[0]);
    const std::string details = box->detailedText().toStdString();
    for (const char* part : GetParam().detailParts) {
        EXPECT_THAT(details, ::testing::HasSubstr(part));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureDetailsTest,
    ::testing::Values(
        DetailsCase{"MissingFile",
                    "@/missing.db",
                    "Error Opening the Database.\n",
                    {"missing.db' does not exist", "Hint: Check the path"}},
        DetailsCase{"MissingDriver",
                    "DRIVER={Qelt No Such Driver};Database=@/notes.db",
                    "Error Opening the Database.\nDRIVER={Qelt No Such Driver}",
                    {"Can't open lib", "\nSQLSTATE: 01000\nNative error: ",
                     "Hint: No ODBC data source or driver of that name is installed"}},
        DetailsCase{"NotADatabase",
                    "@/notes.db",
                    "Error creating the Trigger\nDescription: ",
                    {"is not a database", "\nSQLSTATE: ", "Hint: The file is not a database"}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- dropping a file --------------------------------------------------------------------------

struct DropCase {
    const char* name;
    const char* target;  // "" for the window itself
    std::function<void(QMimeData&)> fill;
    bool named;  // the database box took the file's path
};

void PrintTo(const DropCase& drop, std::ostream* out) {
    *out << drop.name;
}

const QString kDropped = QStringLiteral("/data/Übung 1/QeltOne.db");

class DropTest : public MainWindowTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(DropTest, LocalFileNamesTheDatabase) {
    auto window = MakeWindow();
    QWidget* target = window.get();
    if (*GetParam().target != '\0') {
        target = Find<QWidget>(*window, GetParam().target);
        if (auto* text = qobject_cast<QPlainTextEdit*>(target)) {
            target = text->viewport();  // where a text box takes its drops
        }
    }
    QMimeData data;
    GetParam().fill(data);
    const QPoint inside(5, 5);
    QDragEnterEvent enter(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);

    auto* database = Find<QLineEdit>(*window, "txtDatabaseName");
    if (GetParam().named) {
        EXPECT_TRUE(enter.isAccepted());
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(database->text(), kDropped);
        Create(*window);
        EXPECT_THAT(state->DatabaseNames(), ElementsAre(kDropped.toStdString()));
    } else {
        EXPECT_EQ(database->text(), QStringLiteral("C:\\Data\\QeltOne.mdb"));
    }
}

void LocalFiles(QMimeData& data) {
    data.setUrls({QUrl::fromLocalFile(kDropped), QUrl::fromLocalFile(QStringLiteral("/b.mdb"))});
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DropTest,
    ::testing::Values(
        DropCase{"OnTheWindow", "", LocalFiles, true},
        DropCase{"OnTheDatabaseBox", "txtDatabaseName", LocalFiles, true},
        DropCase{"OnTheScriptBox", "txtScript", LocalFiles, true},
        DropCase{"RemoteAfterLocal", "",
                 [](QMimeData& data) {
                     data.setUrls({QUrl(QStringLiteral("https://example.org/a.db")),
                                   QUrl::fromLocalFile(kDropped)});
                 },
                 true},
        DropCase{"OnlyRemote", "",
                 [](QMimeData& data) {
                     data.setUrls({QUrl(QStringLiteral("https://example.org/a.db"))});
                 },
                 false},
        DropCase{"TextOnTheWindow", "",
                 [](QMimeData& data) { data.setText(QStringLiteral("/data/typed.db")); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Dragged text still goes into the script box as typing would.
TEST_F(MainWindowTest, TextDroppedOnTheScriptBoxIsTheScriptBoxs) {
    auto window = MakeWindow();
    QWidget* viewport = Find<QPlainTextEdit>(*window, "txtScript")->viewport();
    QMimeData data;
    data.setText(QStringLiteral("typed"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(ScriptText(*window), QStringLiteral("typed"));
    EXPECT_EQ(Find<QLineEdit>(*window, "txtDatabaseName")->text(),
              QStringLiteral("C:\\Data\\QeltOne.mdb"));
}

// --- start-up ---------------------------------------------------------------------------------

TEST_F(MainWindowTest, DatabaseBoxHasATooltipOnlyWhenTheHostIsMissing) {
    auto installed = MakeWindow();
    EXPECT_TRUE(Find<QLineEdit>(*installed, "txtDatabaseName")->toolTip().isEmpty());

    auto sessionState = state;
    QtFormView firstStart(
        [sessionState] { return std::make_unique<FakeSession>(sessionState); },
        StartupLookups{[](const std::string&) { return std::string(); },
                       [](const std::string&, const std::string&) { return std::string(); },
                       [](const std::string&, const std::string&, const std::string&) {
                           return std::string();
                       }},
        [](QWidget*, const MessageBoxContent&) {});
    EXPECT_EQ(Find<QLineEdit>(firstStart, "txtDatabaseName")->toolTip(),
              QString::fromStdString(HostNotFoundToolTip()));
}

TEST_F(MainWindowTest, StartUpRunsItsStepsInLoadOrder) {
    struct Step {
        std::string call;
        QString caption;
        QString table;
        QString database;
    };
    std::vector<Step> steps;
    const auto record = [&steps](std::string call) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QStringLiteral("frmQeltAuditTrigger")) {
                steps.push_back({std::move(call), top->windowTitle(),
                                 top->findChild<QComboBox*>("cmbTable")->currentText(),
                                 top->findChild<QLineEdit*>("txtDatabaseName")->text()});
                return;
            }
        }
        steps.push_back({std::move(call), {}, {}, {}});
    };
    auto sessionState = state;
    QtFormView window(
        [&] {
            record("session");
            return std::make_unique<FakeSession>(sessionState);
        },
        StartupLookups{
            [&](const std::string& program) {
                record("installedAppPath " + program);
                return std::string("H\\");
            },
            [&](const std::string& host, const std::string& product) {
                record("dataPath " + host + " " + product);
                return std::string("D\\");
            },
            [&](const std::string& host, const std::string& data, const std::string& product) {
                record("databaseName " + host + " " + data + " " + product);
                return std::string("DSN=QeltOne");
            }},
        [](QWidget*, const MessageBoxContent&) {});

    const QString bare = QStringLiteral("QeltAuditTrigger");
    const QString full = QStringLiteral("QeltAuditTrigger (Version 3.6.2)");
    ASSERT_EQ(steps.size(), 4u);
    const std::vector<std::string> calls{steps[0].call, steps[1].call, steps[2].call,
                                         steps[3].call};
    EXPECT_THAT(calls, ElementsAre("installedAppPath QeltOne.exe", "dataPath H\\ QeltOne",
                                   "session", "databaseName H\\ D\\ QeltOne"));
    EXPECT_EQ(steps[1].caption, bare);
    EXPECT_EQ(steps[1].table, QString());
    EXPECT_EQ(steps[2].caption, full);
    EXPECT_EQ(steps[2].table, QStringLiteral("Companies"));
    EXPECT_EQ(steps[3].database, QString());
    EXPECT_EQ(window.findChild<QLineEdit*>("txtDatabaseName")->text(),
              QStringLiteral("DSN=QeltOne"));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, SessionThatCannotBeCreatedEndsStartUpWithItsError) {
    const StartupLookups lookups{
        [](const std::string&) { return std::string(); },
        [](const std::string&, const std::string&) { return std::string(); },
        [](const std::string&, const std::string&, const std::string&) {
            return std::string("QeltOne.mdb");
        }};
    const auto noBoxes = [](QWidget*, const MessageBoxContent&) {};
    try {
        QtFormView window(
            []() -> std::unique_ptr<DatabaseSession> {
                throw Error(-2147221164, "Class not registered");
            },
            lookups, noBoxes);
        FAIL() << "start-up went on";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), -2147221164);
    }
    try {
        QtFormView window([] { return std::unique_ptr<DatabaseSession>(); }, lookups, noBoxes);
        FAIL() << "start-up went on";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 429);
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace
}  // namespace qelt::gui
