// The Win32 window in-process: controls, layout at the window's dpi, keyboard delivered as input,
// the message boxes as the window system shows them, and Create on a real ODBC driver.
#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "CliRun.h"
#include "auditscript/ScriptWarnings.h"
#include "auditscript/WorkedExample.h"
#include "dbsession/OdbcSession.h"
#include "mainwindow/ExpectedLayout.h"
#include "mainwindow/win32/Win32FormView.h"
#include "support/ColumnFacts.h"
#include "support/FakeSession.h"
#include "text/Ascii.h"
#include "text/Utf.h"

namespace qelt::gui {

void PrintTo(const PixelRect& rect, std::ostream* out) {
    *out << rect.left << "," << rect.top << " " << rect.width << "x" << rect.height;
}

namespace {

using qelt::test::FakeSession;
using qelt::test::FakeSessionState;
using ::testing::ElementsAre;

std::string Text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    return text::Utf16ToUtf8(text.data(), static_cast<std::size_t>(copied));
}

std::string ClassName(HWND window) {
    wchar_t name[64] = {};
    const int length = GetClassNameW(window, name, 64);
    return text::Utf16ToUtf8(name, static_cast<std::size_t>(length));
}

// The dots per inch the prefix is set to; CTest runs this program once for each.
int ExpectedDpi() {
    const char* dpi = std::getenv("QELT_EXPECTED_DPI");
    return dpi != nullptr ? std::atoi(dpi) : 96;
}

PixelRect RectInParentClient(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Keys as the keyboard would give them: through the system's input queue.
void PressKeys(std::initializer_list<WORD> chord) {
    std::vector<INPUT> inputs;
    for (const WORD key : chord) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = chord.end(); key != chord.begin();) {
        --key;
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
}

// What a message box showed, read from the box itself while it was up.
struct ShownBox {
    std::string title;
    std::string text;
    bool icon = false;
    std::vector<std::string> buttons;  // not counting "Show details"
    bool showDetails = false;          // the box has a "Show details" control
    std::string details;               // the text it revealed, hidden before
    std::string scriptBehind;          // txtScript's text at that moment
};

// The visible texts of a box's static controls, not its icons.
std::vector<std::string> VisibleTexts(HWND box) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (ClassName(child) == "Static" && (style & SS_TYPEMASK) != SS_ICON &&
            (style & WS_VISIBLE) != 0 && !Text(child).empty()) {
            texts.push_back(Text(child));
        }
    }
    return texts;
}

// Watches the thread for message boxes while a modal loop runs, reads each and presses OK.
class MessageBoxWatcher {
  public:
    explicit MessageBoxWatcher(HWND script) : script_(script) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, &MessageBoxWatcher::Tick);
    }
    ~MessageBoxWatcher() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    std::vector<ShownBox> boxes;

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(GetCurrentThreadId(), &MessageBoxWatcher::Visit, 0);
    }
    static BOOL CALLBACK Visit(HWND window, LPARAM) {
        if (ClassName(window) != "#32770" || !IsWindowVisible(window)) {
            return TRUE;
        }
        ShownBox box;
        box.title = Text(window);
        box.scriptBehind = Text(current_->script_);
        HWND expander = nullptr;
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (ClassName(child) == "Button" && Text(child) == "Show details") {
                expander = child;
            } else if (ClassName(child) == "Button") {
                box.buttons.push_back(Text(child));
            } else if (ClassName(child) == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
                box.icon = box.icon || ((style & WS_VISIBLE) != 0 &&
                                        SendMessageW(child, STM_GETICON, 0, 0) != 0);
            }
        }
        const std::vector<std::string> shown = VisibleTexts(window);
        box.text = shown.empty() ? std::string() : shown.front();
        if (expander != nullptr) {
            // Pressed as the user would: the details appear below the text.
            box.showDetails = true;
            SendMessageW(expander, BM_CLICK, 0, 0);
            for (const std::string& text : VisibleTexts(window)) {
                if (std::find(shown.begin(), shown.end(), text) == shown.end()) {
                    box.details += text;
                }
            }
        }
        current_->boxes.push_back(box);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

    static inline MessageBoxWatcher* current_ = nullptr;
    HWND script_;
    UINT_PTR timer_;
};

std::size_t CountOf(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class Win32WindowTest : public ::testing::Test {
  protected:
    Win32WindowTest() { state->columns = qelt::test::kCompaniesColumns; }

    void Open(const SessionFactory& createSession = {}) {
        auto sessionState = state;
        view = std::make_unique<Win32FormView>(
            createSession ? createSession
                          : [sessionState] { return std::make_unique<FakeSession>(sessionState); },
            StartupLookups{
                [](const std::string&) { return std::string("C:\\QeltOne\\"); },
                [](const std::string&, const std::string&) { return std::string("C:\\Data\\"); },
                [](const std::string&, const std::string&, const std::string&) {
                    return std::string("C:\\Data\\QeltOne.mdb");
                }});
        view->Show();
        Pump();
    }

    HWND Window() const { return static_cast<HWND>(view->Handle()); }
    HWND Control(ControlId id) const { return static_cast<HWND>(view->ControlHandle(id)); }

    // Lets the window handle its messages for a while; false once the program has ended.
    bool Pump(std::chrono::milliseconds time = std::chrono::milliseconds(150)) {
        const auto end = std::chrono::steady_clock::now() + time;
        do {
            if (!ProcessWaitingMessages(*view)) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < end);
        return true;
    }

    std::string FocusName() const {
        const HWND focus = GetFocus();
        for (const ControlSpec& control : kControls) {
            if (Control(control.id) == focus) {
                return std::string(control.name);
            }
        }
        return focus == Window() ? kFormName : "elsewhere";
    }

    void ClickCreate() { SendMessageW(Control(ControlId::cmdCreate), BM_CLICK, 0, 0); }

    std::shared_ptr<FakeSessionState> state = std::make_shared<FakeSessionState>();
    std::unique_ptr<Win32FormView> view;
};

// --- controls and layout ----------------------------------------------------------------------

struct ControlCase {
    test::ExpectedPlace place;
    const char* className;
    LONG style;   // bits that must be set
    LONG absent;  // bits that must not be
    const char* text;
};

void PrintTo(const ControlCase& control, std::ostream* out) {
    *out << control.place.name;
}

constexpr LONG kChild = WS_CHILD | WS_VISIBLE;

const ControlCase kControlCases[] = {
    {test::kExpectedPlaces[0], "Button", kChild | BS_GROUPBOX, WS_TABSTOP | WS_DISABLED,
     "SQL Server Information"},
    {test::kExpectedPlaces[1], "Static", kChild | SS_RIGHT, WS_TABSTOP | WS_DISABLED, "Database:"},
    {test::kExpectedPlaces[2], "Edit", kChild | WS_TABSTOP | ES_AUTOHSCROLL,
     ES_MULTILINE | ES_READONLY | WS_DISABLED, "C:\\Data\\QeltOne.mdb"},
    {test::kExpectedPlaces[3], "Static", kChild | SS_RIGHT, WS_TABSTOP | WS_DISABLED, "Table:"},
    {test::kExpectedPlaces[4], "ComboBox", kChild | WS_TABSTOP | CBS_DROPDOWNLIST, WS_DISABLED,
     "Companies"},
    {test::kExpectedPlaces[5], "Edit",
     kChild | WS_TABSTOP | ES_MULTILINE | WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN,
     ES_READONLY | WS_DISABLED, ""},
    {test::kExpectedPlaces[6], "Button", kChild | WS_TABSTOP, BS_DEFPUSHBUTTON | WS_DISABLED,
     "&Create"},
    {test::kExpectedPlaces[7], "Button", kChild | WS_TABSTOP, BS_DEFPUSHBUTTON | WS_DISABLED,
     "Cl&ose"},
};

class ControlTest : public Win32WindowTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ControlTest, ClassStyleTextAndPlaceAtTheWindowsDpi) {
    Open();
    const ControlCase& expected = GetParam();
    const HWND control = Control(expected.place.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), Window());
    EXPECT_EQ(ClassName(control), expected.className);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    EXPECT_EQ(style & expected.style, expected.style) << std::hex << style;
    EXPECT_EQ(style & expected.absent, 0) << std::hex << style;
    EXPECT_EQ(Text(control), expected.text);

    ASSERT_EQ(static_cast<int>(GetDpiForWindow(Window())), ExpectedDpi());
    EXPECT_EQ(RectInParentClient(control),
              ExpectedDpi() == 144 ? expected.place.at144 : expected.place.at96);
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlTest, ::testing::ValuesIn(kControlCases),
                         [](const auto& info) { return std::string(info.param.place.name); });

TEST_F(Win32WindowTest, FixedSingleBorderCaptionClientSizeAndCentred) {
    Open();
    EXPECT_EQ(Text(Window()), "QeltAuditTrigger (Version 3.6.2)");
    const LONG style = GetWindowLongW(Window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);

    RECT client;
    GetClientRect(Window(), &client);
    const PixelRect expected = ExpectedDpi() == 144 ? test::kClientAt144 : test::kClientAt96;
    EXPECT_EQ(client.right, expected.width);
    EXPECT_EQ(client.bottom, expected.height);

    RECT frame;
    GetWindowRect(Window(), &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(Window(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_LE(std::abs((frame.left + frame.right) - (monitor.rcWork.left + monitor.rcWork.right)),
              1);
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)),
              1);
}

TEST_F(Win32WindowTest, PerMonitorDpiAwareWithVisualStylesAndIcons) {
    Open();
    const DPI_AWARENESS_CONTEXT awareness = GetWindowDpiAwarenessContext(Window());
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(awareness), DPI_AWARENESS_PER_MONITOR_AWARE)
        << reinterpret_cast<std::intptr_t>(awareness);
    // The common controls this program uses are those of version 6, which draw visual styles:
    // the manifest redirects comctl32.dll to that assembly.
    HMODULE commonControls = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&InitCommonControlsEx)),
        &commonControls));
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(commonControls, path, MAX_PATH);
    EXPECT_THAT(text::AsciiLower(text::Utf16ToUtf8(path, wcslen(path))),
                ::testing::HasSubstr("microsoft.windows.common-controls_6595b64144ccf1df_6.0."));
    EXPECT_NE(GetClassLongPtrW(Window(), GCLP_HICON), 0);
    EXPECT_NE(GetClassLongPtrW(Window(), GCLP_HICONSM), 0);
}

TEST_F(Win32WindowTest, EveryControlHasTheTahomaFontAtTheWindowsDpi) {
    Open();
    const HDC screen = GetDC(nullptr);
    for (const ControlSpec& control : kControls) {
        const auto font =
            reinterpret_cast<HFONT>(SendMessageW(Control(control.id), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr) << control.name;
        LOGFONTW logical{};
        GetObjectW(font, sizeof(logical), &logical);
        EXPECT_EQ(logical.lfHeight, ExpectedDpi() == 144 ? -17 : -11) << control.name;
        EXPECT_EQ(logical.lfWeight, 400) << control.name;
        EXPECT_FALSE(logical.lfItalic || logical.lfUnderline || logical.lfStrikeOut);
        EXPECT_EQ(logical.lfCharSet, 0);
        // The font the system actually chose: Wine's own Tahoma.
        const HGDIOBJ previous = SelectObject(screen, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(screen, LF_FACESIZE, face);
        SelectObject(screen, previous);
        EXPECT_EQ(text::Utf16ToUtf8(face, wcslen(face)), "Tahoma") << control.name;
    }
    ReleaseDC(nullptr, screen);
}

TEST_F(Win32WindowTest, TableListHoldsTheFourItemsAndScriptBoxHasNoLimit) {
    Open();
    const HWND table = Control(ControlId::cmbTable);
    std::vector<std::string> items;
    for (LRESULT i = 0; i < SendMessageW(table, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t item[64] = {};
        SendMessageW(table, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        items.push_back(text::Utf16ToUtf8(item, wcslen(item)));
    }
    EXPECT_THAT(items, ElementsAre("Companies", "Contacts", "Consultants", "Requirements"));
    EXPECT_EQ(SendMessageW(table, CB_GETCURSEL, 0, 0), 0);
    EXPECT_GE(SendMessageW(Control(ControlId::txtScript), EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
}

// --- keyboard ---------------------------------------------------------------------------------

TEST_F(Win32WindowTest, FocusStartsInTheDatabaseBoxAndTabFollowsTheTabOrder) {
    Open();
    std::vector<std::string> visited{FocusName()};
    for (int i = 0; i < 5; ++i) {
        PressKeys({VK_TAB});
        Pump();
        visited.push_back(FocusName());
    }
    PressKeys({VK_SHIFT, VK_TAB});
    Pump();
    visited.push_back(FocusName());
    EXPECT_THAT(visited, ElementsAre("txtDatabaseName", "cmdCreate", "cmdClose", "txtScript",
                                     "cmbTable", "txtDatabaseName", "cmbTable"));
}

TEST_F(Win32WindowTest, AltCRunsCreate) {
    Open();
    PressKeys({VK_MENU, 'C'});
    Pump();
    EXPECT_EQ(state->OpenCount(), 1u);
    EXPECT_EQ(Text(Control(ControlId::txtScript)), qelt::test::CompaniesScript());
}

TEST_F(Win32WindowTest, AltOReleasesTheSessionAndEndsTheProgram) {
    Open();
    PressKeys({VK_MENU, 'O'});
    EXPECT_FALSE(Pump());
    EXPECT_TRUE(state->destroyed);
    EXPECT_FALSE(IsWindowVisible(Window()));
}

TEST_F(Win32WindowTest, ClosingThroughTheTitleBarEndsTheProgramAsCloseDoes) {
    Open();
    PostMessageW(Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(Pump());
    EXPECT_TRUE(state->destroyed);
}

struct InertKey {
    ControlId control;
    WORD key;
    const char* name;
};

class InertKeyTest : public Win32WindowTest, public ::testing::WithParamInterface<InertKey> {};

TEST_P(InertKeyTest, EnterAndEscapeRunNothingAndCloseNothing) {
    Open();
    SetFocus(Control(GetParam().control));
    Pump();
    ASSERT_EQ(GetFocus(), Control(GetParam().control));
    PressKeys({GetParam().key});
    EXPECT_TRUE(Pump(std::chrono::milliseconds(300)));
    EXPECT_EQ(state->OpenCount(), 0u);
    EXPECT_FALSE(state->destroyed);
    EXPECT_TRUE(IsWindowVisible(Window()));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, InertKeyTest,
    ::testing::Values(InertKey{ControlId::txtDatabaseName, VK_RETURN, "txtDatabaseNameEnter"},
                      InertKey{ControlId::txtDatabaseName, VK_ESCAPE, "txtDatabaseNameEscape"},
                      InertKey{ControlId::cmdCreate, VK_RETURN, "cmdCreateEnter"},
                      InertKey{ControlId::cmdCreate, VK_ESCAPE, "cmdCreateEscape"},
                      InertKey{ControlId::cmdClose, VK_RETURN, "cmdCloseEnter"},
                      InertKey{ControlId::cmdClose, VK_ESCAPE, "cmdCloseEscape"},
                      InertKey{ControlId::txtScript, VK_RETURN, "txtScriptEnter"},
                      InertKey{ControlId::txtScript, VK_ESCAPE, "txtScriptEscape"},
                      InertKey{ControlId::cmbTable, VK_RETURN, "cmbTableEnter"},
                      InertKey{ControlId::cmbTable, VK_ESCAPE, "cmbTableEscape"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32WindowTest, EnterInTheScriptBoxBreaksTheLine) {
    Open();
    SetFocus(Control(ControlId::txtScript));
    PressKeys({'X'});
    PressKeys({VK_RETURN});
    PressKeys({'Y'});
    Pump();
    EXPECT_EQ(Text(Control(ControlId::txtScript)), "x\r\ny");
}

class SelectAllTest : public Win32WindowTest, public ::testing::WithParamInterface<ControlId> {};

TEST_P(SelectAllTest, CtrlASelectsTheWholeText) {
    Open();
    const HWND box = Control(GetParam());
    SetWindowTextW(box, L"first line\r\nsecond line");
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 3, 3);
    PressKeys({VK_CONTROL, 'A'});
    Pump();
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(box)));
    EXPECT_EQ(Text(box).find('\x01'), std::string::npos);  // nothing typed
}

INSTANTIATE_TEST_SUITE_P(TextBoxes, SelectAllTest,
                         ::testing::Values(ControlId::txtDatabaseName, ControlId::txtScript),
                         [](const auto& info) { return std::string(Control(info.param).name); });

// --- Create -----------------------------------------------------------------------------------

TEST_F(Win32WindowTest, HourglassDuringCreateAndEachControlsOwnPointerAfter) {
    Open();
    const HWND script = Control(ControlId::txtScript);
    const auto pointerOver = [script] {
        SendMessageW(script, WM_SETCURSOR, reinterpret_cast<WPARAM>(script),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    HCURSOR duringRun = nullptr;
    state->onOpenDatabase = [&] { duringRun = pointerOver(); };
    ClickCreate();
    EXPECT_EQ(duringRun, LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(pointerOver(), LoadCursorW(nullptr, IDC_IBEAM));
}

// The run's warnings head the script, in view from its first line even when the box was
// scrolled down.
TEST_F(Win32WindowTest, WarningsShowAboveTheScript) {
    Open();
    const HWND script = Control(ControlId::txtScript);
    ClickCreate();
    SendMessageW(script, EM_SETSEL, GetWindowTextLengthW(script), GetWindowTextLengthW(script));
    SendMessageW(script, EM_SCROLLCARET, 0, 0);
    ASSERT_GT(SendMessageW(script, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    state->columns[1].Facts = qelt::test::SizeFacts(100);  // wider than the audit DisplayName
    ScriptWarningComment comment;
    AuditScriptWarnings("Companies", "CompanyIntID", "CompanyName", FieldVector(state->columns),
                        TableFacts(), [&comment](std::string_view text) { comment.Add(text); });
    const std::string expected = comment.Before(qelt::test::CompaniesScript());
    ASSERT_TRUE(expected.starts_with("-- QeltAuditTrigger: 1 warning."));
    ClickCreate();
    Pump();

    EXPECT_EQ(Text(script), expected);
    EXPECT_EQ(SendMessageW(script, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

const FailureReason kMissingFile{"", 0, "the database file 'C:\\Data\\QeltOne.mdb' does not exist",
                                 FailureHint::FileNotFound, ""};
const FailureReason kMissingDriver{"", 0,
                                   "no ODBC driver for Access databases is installed; name one "
                                   "in a connection string",
                                   FailureHint::NoDriver, "Access"};

struct MessageCase {
    const char* name;
    std::function<void(FakeSessionState&)> arrange;
    const char* text;
    bool icon;
    bool partialScript;    // the lines before the SET list stay behind the box
    FailureReason reason;  // whose details the box reveals; none: no "Show details"
};

void PrintTo(const MessageCase& message, std::ostream* out) {
    *out << message.name;
}

class MessageTest : public Win32WindowTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(MessageTest, BoxShowsTextAndStyleOverTheRunsBuffer) {
    Open();
    ClickCreate();  // an earlier script that must not show behind the box
    ASSERT_FALSE(Text(Control(ControlId::txtScript)).empty());
    GetParam().arrange(*state);
    const std::string expectedBehind =
        GetParam().partialScript ? qelt::test::CompaniesLinesBeforeTheSetList() : std::string();

    MessageBoxWatcher watcher(Control(ControlId::txtScript));
    ClickCreate();

    ASSERT_EQ(watcher.boxes.size(), 1u);
    const ShownBox& box = watcher.boxes[0];
    EXPECT_EQ(box.title, "QeltAuditTrigger");
    EXPECT_EQ(box.text, GetParam().text);
    EXPECT_EQ(box.icon, GetParam().icon);
    EXPECT_THAT(box.buttons, ElementsAre("OK"));
    EXPECT_EQ(box.showDetails, GetParam().reason != FailureReason{});
    EXPECT_EQ(box.details, FailureDetailsText(GetParam().reason));
    EXPECT_EQ(box.scriptBehind, expectedBehind);
    EXPECT_EQ(Text(Control(ControlId::txtScript)), expectedBehind);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageTest,
    ::testing::Values(
        MessageCase{"OpenFailure",
                    [](FakeSessionState& s) { s.opens = false; },
                    "Error Opening the Database.\r\nC:\\Data\\QeltOne.mdb",
                    true,
                    false,
                    {}},
        MessageCase{"RunError",
                    [](FakeSessionState& s) { s.returnsNoRecordset = true; },
                    "Error creating the Trigger\r\nDescription: The probe query returned no "
                    "recordset\r\nNumber: 91",
                    false,
                    true,
                    {}},
        MessageCase{"OpenFailureForAMissingFile",
                    [](FakeSessionState& s) {
                        s.opens = false;
                        s.openFailure = kMissingFile;
                    },
                    "Error Opening the Database.\r\nC:\\Data\\QeltOne.mdb", true, false,
                    kMissingFile},
        MessageCase{"OpenFailureForAMissingDriver",
                    [](FakeSessionState& s) {
                        s.opens = false;
                        s.openFailure = kMissingDriver;
                    },
                    "Error Opening the Database.\r\nC:\\Data\\QeltOne.mdb", true, false,
                    kMissingDriver},
        MessageCase{"DriverErrorForAFileThatIsNoDatabase",
                    [](FakeSessionState& s) {
                        s.recordsetDriverError =
                            OdbcError(26, "HY000", "[HY000] file is not a database (26)");
                    },
                    "Error creating the Trigger\r\nDescription: [HY000] file is not a database "
                    "(26)\r\nNumber: 26",
                    false, false,
                    FailureReason{"HY000", 26, "[HY000] file is not a database (26)",
                                  FailureHint::NotADatabase, ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32WindowTest, ThirtyThousandColumnScriptShowsWhole) {
    state->columns.clear();
    for (int i = 0; i < 30000; ++i) {
        state->columns.push_back(
            {"Column" + std::to_string(i), i % 2 ? ado::adInteger : ado::adVarWChar});
    }
    Open();
    ClickCreate();
    // The whole script: the audit table, a SET entry and two CASE entries for every column,
    // down to the last GO.
    const std::string shown = Text(Control(ControlId::txtScript));
    EXPECT_GT(shown.size(), 7'000'000u);
    EXPECT_EQ(static_cast<std::size_t>(GetWindowTextLengthW(Control(ControlId::txtScript))),
              shown.size());
    // The columns lack the Companies key and display columns: warned of above the script.
    EXPECT_TRUE(shown.starts_with("-- QeltAuditTrigger: 2 warnings."));
    EXPECT_NE(shown.find("\r\n\r\n" + qelt::test::CrLf(qelt::test::kCompaniesAuditTable)),
              std::string::npos);
    EXPECT_NE(shown.find("    Column29999 = INSERTED.Column29999\r\n"), std::string::npos);
    EXPECT_EQ(CountOf(shown, "            WHEN 'Column"), 60000u);
    EXPECT_TRUE(shown.ends_with("\r\nSET NOCOUNT OFF\r\nEND\r\nGO\r\n"));
}

// What the window shows for a qeltaudit run: its script, headed by the warnings it printed.
std::string WindowTextOf(const qelt::test::CliResult& cli) {
    constexpr std::string_view kWarning = "qeltaudit: warning: ";
    ScriptWarningComment comment;
    std::istringstream err(cli.err);
    for (std::string line; std::getline(err, line);) {
        if (line.starts_with(kWarning)) {
            comment.Add(std::string_view(line).substr(kWarning.size()));
        }
    }
    return comment.Before(cli.out);
}

// Create on the demo database through the Windows ODBC driver manager gives qeltaudit's script
// and warnings.
class DemoDatabaseTest : public Win32WindowTest,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(DemoDatabaseTest, CreateWritesWhatQeltauditWrites) {
    const std::string database =
        std::string("DRIVER=SQLite3;Database=") + QELT_DEMO_DATABASE + ";NoCreat=1";
    const auto cli = qelt::test::RunCli({"--database", database, "--table", GetParam()});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    // Every demo table has columns the script cannot log in full (DOUBLE, DATETIME, wide names).
    EXPECT_THAT(cli.err, ::testing::HasSubstr("qeltaudit: warning: "));

    Open([] { return std::make_unique<OdbcSession>(); });
    SetWindowTextW(Control(ControlId::txtDatabaseName),
                   text::Utf8ToUtf16As<wchar_t>(database).c_str());
    const HWND table = Control(ControlId::cmbTable);
    SendMessageW(table, CB_SELECTSTRING, WPARAM(-1),
                 reinterpret_cast<LPARAM>(text::Utf8ToUtf16As<wchar_t>(GetParam()).c_str()));
    ClickCreate();
    EXPECT_EQ(Text(Control(ControlId::txtScript)), WindowTextOf(cli));
}

INSTANTIATE_TEST_SUITE_P(Tables, DemoDatabaseTest,
                         ::testing::Values("Companies", "Contacts", "Consultants", "Requirements"),
                         [](const auto& info) { return std::string(info.param); });

// Under Wine the demo database typed by its Windows name opens too: the drivers get its Unix name.
TEST_F(Win32WindowTest, CreateOnADatabaseFileTypedByItsWindowsName) {
    const auto cli = qelt::test::RunCli({"--database", std::string("DRIVER=SQLite3;Database=") +
                                                           QELT_DEMO_DATABASE + ";NoCreat=1"});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    std::string windowsName = std::string("Z:") + QELT_DEMO_DATABASE;
    std::ranges::replace(windowsName, '/', '\\');

    Open([] { return std::make_unique<OdbcSession>(); });
    SetWindowTextW(Control(ControlId::txtDatabaseName),
                   text::Utf8ToUtf16As<wchar_t>(windowsName).c_str());
    ClickCreate();
    EXPECT_EQ(Text(Control(ControlId::txtScript)), WindowTextOf(cli));
}

// The reasons of a real session's failures, through Windows' own ODBC driver manager.
struct RealFailureCase {
    const char* name;
    std::string database;
    const char* textStart;
    std::vector<const char*> detailParts;
};

void PrintTo(const RealFailureCase& failure, std::ostream* out) {
    *out << failure.name;
}

class RealFailureTest : public Win32WindowTest,
                        public ::testing::WithParamInterface<RealFailureCase> {};

// A file the SQLite driver opens and then finds no database in, at the same place for the
// driver (a Linux program here) and for this program (drive Z: is the root folder).
const char kNotADatabaseUnix[] = "/tmp/qelt-win32-not-a-database.db";
const wchar_t kNotADatabaseWindows[] = L"Z:\\tmp\\qelt-win32-not-a-database.db";

TEST_P(RealFailureTest, BoxRevealsTheReasonOnRequest) {
    {
        const HANDLE file = CreateFileW(kNotADatabaseWindows, GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const std::string junk(4096, 'x');
        DWORD written = 0;
        WriteFile(file, junk.data(), static_cast<DWORD>(junk.size()), &written, nullptr);
        CloseHandle(file);
    }
    Open([] { return std::make_unique<OdbcSession>(); });
    SetWindowTextW(Control(ControlId::txtDatabaseName),
                   text::Utf8ToUtf16As<wchar_t>(GetParam().database).c_str());
    MessageBoxWatcher watcher(Control(ControlId::txtScript));
    ClickCreate();
    DeleteFileW(kNotADatabaseWindows);

    ASSERT_EQ(watcher.boxes.size(), 1u);
    const ShownBox& box = watcher.boxes[0];
    EXPECT_TRUE(box.text.starts_with(GetParam().textStart)) << box.text;
    EXPECT_TRUE(box.showDetails);
    for (const char* part : GetParam().detailParts) {
        EXPECT_THAT(box.details, ::testing::HasSubstr(part));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RealFailureTest,
    ::testing::Values(
        RealFailureCase{"MissingFile",
                        "C:\\QeltNoSuchFolder\\QeltOne.db",
                        "Error Opening the Database.\r\nC:\\QeltNoSuchFolder\\QeltOne.db",
                        {"QeltOne.db' does not exist", "\r\nHint: Check the path"}},
        RealFailureCase{"MissingDriver",
                        "DRIVER={Qelt No Such Driver};Database=C:\\QeltOne.db",
                        "Error Opening the Database.\r\nDRIVER={Qelt No Such Driver}",
                        {"\r\nSQLSTATE: ", "\r\nNative error: ",
                         "\r\nHint: No ODBC data source or driver of that name is installed"}},
        RealFailureCase{
            "NotADatabase",
            std::string("DRIVER=SQLite3;Database=") + kNotADatabaseUnix + ";NoCreat=1",
            "Error creating the Trigger\r\nDescription: ",
            {"is not a database", "\r\nSQLSTATE: ", "\r\nHint: The file is not a database"}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- dropping a file, the first-start hint ----------------------------------------------------

// What the shell hands a window that a file is dropped on: the paths, each ending in a NUL, and
// one NUL more.
HGLOBAL DroppedFiles(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& path : paths) {
        list += path;
        list += L'\0';
    }
    list += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
                list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

TEST_F(Win32WindowTest, DroppedFileNamesTheDatabase) {
    Open();
    // The window takes the drops of all its controls.
    EXPECT_NE(GetWindowLongW(Window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    const std::wstring first = L"Z:\\data\\Übung 1\\QeltOne.db";
    PostMessageW(Window(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(DroppedFiles({first, L"C:\\b.mdb"})), 0);
    Pump();
    EXPECT_EQ(Text(Control(ControlId::txtDatabaseName)),
              text::Utf16ToUtf8(first.data(), first.size()));
    ClickCreate();
    EXPECT_THAT(state->DatabaseNames(), ElementsAre(text::Utf16ToUtf8(first.data(), first.size())));
}

// txtDatabaseName's tooltip text, or nothing when it has none.
std::optional<std::string> ToolTipOf(HWND window, HWND control) {
    struct Search {
        HWND owner;
        HWND found = nullptr;
    } search{window};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND candidate, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (ClassName(candidate) == "tooltips_class32" &&
                GetWindow(candidate, GW_OWNER) == s->owner) {
                s->found = candidate;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        return std::nullopt;
    }
    std::wstring text(1024, L'\0');
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    SendMessageW(search.found, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
    return text::Utf16ToUtf8(text.c_str(), std::wcslen(text.c_str()));
}

TEST_F(Win32WindowTest, DatabaseBoxHasATooltipOnlyWhenTheHostIsMissing) {
    Open();
    EXPECT_EQ(ToolTipOf(Window(), Control(ControlId::txtDatabaseName)), std::nullopt);
    view.reset();

    auto sessionState = state;
    view = std::make_unique<Win32FormView>(
        [sessionState] { return std::make_unique<FakeSession>(sessionState); },
        StartupLookups{[](const std::string&) { return std::string(); },
                       [](const std::string&, const std::string&) { return std::string(); },
                       [](const std::string&, const std::string&, const std::string&) {
                           return std::string("QeltOne.mdb");
                       }});
    EXPECT_EQ(ToolTipOf(Window(), Control(ControlId::txtDatabaseName)), HostNotFoundToolTip());
}

// --- start-up failure -------------------------------------------------------------------------

TEST(Win32StartupTest, SessionThatCannotBeCreatedLeavesNoWindowAndReportsInABox) {
    const StartupLookups lookups{
        [](const std::string&) { return std::string(); },
        [](const std::string&, const std::string&) { return std::string(); },
        [](const std::string&, const std::string&, const std::string&) { return std::string(); }};
    try {
        Win32FormView view([] { return std::unique_ptr<DatabaseSession>(); }, lookups);
        FAIL() << "start-up went on";
    } catch (const std::exception& error) {
        EXPECT_EQ(FindWindowW(L"frmQeltAuditTrigger", nullptr), nullptr);
        MessageBoxWatcher watcher(nullptr);
        EXPECT_NE(ReportUnhandledError(error), 0);
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(watcher.boxes[0].title, "QeltAuditTrigger");
        EXPECT_EQ(watcher.boxes[0].text,
                  "Run-time error '429':\r\n\r\nThe database session component cannot be created");
        EXPECT_THAT(watcher.boxes[0].buttons, ElementsAre("OK"));
    }
}

}  // namespace
}  // namespace qelt::gui
