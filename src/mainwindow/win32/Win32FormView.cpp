// The window as a native Win32 window.
#include "mainwindow/win32/Win32FormView.h"

#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <cstddef>
#include <stdexcept>

#include "auditscript/SQLFuncs.h"
#include "mainwindow/FormControls.h"
#include "text/Utf.h"

namespace qelt::gui {

namespace {

constexpr wchar_t kWindowClass[] = L"frmQeltAuditTrigger";
// Fixed single border with a close box, no minimise or maximise. Not WS_CLIPCHILDREN: the frame
// paints no background of its own, the window paints it behind the frame.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = 0;
constexpr WORD kIconResource = 1;
// Control identifiers stay clear of IDOK and IDCANCEL, which the dialog keyboard sends for
// Enter and Escape: those must run nothing.
constexpr int kFirstControlId = 100;
// The drop-down list's height when open, in items.
constexpr int kListItemsShown = 8;
constexpr int kComboHeightAttempts = 3;

// The application-wide pointer is one setting for the whole program.
MousePointer applicationPointer = MousePointer::Default;

std::wstring Wide(std::string_view utf8) {
    return text::Utf8ToUtf16As<wchar_t>(utf8);
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    return text::Utf16ToUtf8(text.data(), static_cast<std::size_t>(copied));
}

std::size_t IndexOf(ControlId id) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (kControls[i].id == id) {
            return i;
        }
    }
    throw std::out_of_range("no such control");
}

// The window class, the style and the extended style of each kind of control.
struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::Frame:
            return {WC_BUTTONW, child | BS_GROUPBOX, 0};
        case ControlKind::Label:
            return {WC_STATICW, child | SS_RIGHT, 0};
        case ControlKind::TextBox:
            return {WC_EDITW, child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::MultiLineTextBox:
            return {WC_EDITW,
                    child | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_LEFT | ES_MULTILINE |
                        ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
                    WS_EX_CLIENTEDGE};
        case ControlKind::DropDownList:
            return {WC_COMBOBOXW, child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
        case ControlKind::Button:
            return {WC_BUTTONW, child | WS_TABSTOP | BS_PUSHBUTTON, 0};
    }
    throw std::logic_error("unknown control kind");
}

// The focusable controls first, in tab order (the window system moves the focus in the order of
// creation), then the labels, and the frame last so that it lies below the controls in it.
std::vector<ControlId> CreationOrder() {
    std::vector<ControlId> order = TabOrder();
    for (const ControlKind kind : {ControlKind::Label, ControlKind::Frame}) {
        for (const ControlId id : ControlsByTabIndex()) {
            if (Control(id).kind == kind) {
                order.push_back(id);
            }
        }
    }
    return order;
}

HCURSOR CursorOf(MousePointer pointer) {
    return LoadCursorW(nullptr, pointer == MousePointer::Hourglass ? IDC_WAIT : IDC_ARROW);
}

// The widest a tooltip line grows before it wraps, in pixels at 96 dots per inch.
constexpr int kToolTipWidth = 320;

using TaskDialogIndirectCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Version 6 of the common controls has task dialogs; an older one, which the manifest did not
// reach, has none.
TaskDialogIndirectCall FindTaskDialogIndirect() {
    const HMODULE commonControls = GetModuleHandleW(L"comctl32.dll");
    if (commonControls == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<TaskDialogIndirectCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(commonControls, "TaskDialogIndirect")));
}

}  // namespace

struct Win32FormView::Window {
    explicit Window(Win32FormView& owner) : view(owner) {}

    ~Window() {
        ending = true;  // a window destroyed with its owner ends nothing
        if (handle != nullptr) {
            DestroyWindow(handle);
        }
        if (font != nullptr) {
            DeleteObject(font);
        }
    }

    HWND Control(ControlId id) const { return controls[IndexOf(id)]; }

    void Create();
    void ApplyDpi(UINT dpi);
    bool PointerIsOverWindow() const;
    bool TranslateKeyboard(MSG& message);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Win32FormView& view;
    HWND handle = nullptr;
    std::array<HWND, kControls.size()> controls{};
    HFONT font = nullptr;
    HWND toolTip = nullptr;  // txtDatabaseName's, made when it first gets a text
    MousePointer windowPointer = MousePointer::Default;
    HWND focusBeforeDeactivation = nullptr;
    bool ending = false;
};

void Win32FormView::Window::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&commonControls);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("the window class cannot be registered");
    }

    handle = CreateWindowExW(kWindowExStyle, kWindowClass, Wide(kApplicationTitle).c_str(),
                             kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (handle == nullptr) {
        throw std::runtime_error("the window cannot be created");
    }
    for (const ControlId id : CreationOrder()) {
        const std::size_t index = IndexOf(id);
        const ControlSpec& control = kControls[index];
        const ControlClass controlClass = ClassOf(control.kind);
        controls[index] =
            CreateWindowExW(controlClass.exStyle, controlClass.name, Wide(control.caption).c_str(),
                            controlClass.style, 0, 0, 0, 0, handle,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                            instance, nullptr);
        if (controls[index] == nullptr) {
            throw std::runtime_error("a control cannot be created");
        }
    }
    for (const std::string_view table : ListedItemTables()) {
        SendMessageW(Control(ControlId::cmbTable), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Wide(table).c_str()));
    }
    // The edit control's default limit of 32 K characters would cut long scripts short.
    SendMessageW(Control(ControlId::txtScript), EM_SETLIMITTEXT, 0, 0);
    // A file dropped on the window or any of its controls names the database.
    DragAcceptFiles(handle, TRUE);
    ApplyDpi(GetDpiForWindow(handle));
}

// Font, control places and window size for the dots per inch of the window's monitor.
void Win32FormView::Window::ApplyDpi(UINT dpi) {
    const int pixelsPerInch = static_cast<int>(dpi);
    HFONT newFont =
        CreateFontW(-FontPixelHeight(pixelsPerInch), 0, 0, 0, kFontWeight, FALSE, FALSE, FALSE,
                    ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, Wide(kFontFamily).c_str());
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(newFont), FALSE);
        const PixelRect place = ClientRect(kControls[i].id, pixelsPerInch);
        int height = place.height;
        if (kControls[i].kind == ControlKind::DropDownList) {
            // The window's height is that of the open list.
            const LRESULT item = SendMessageW(controls[i], CB_GETITEMHEIGHT, 0, 0);
            height += static_cast<int>(item) * kListItemsShown + 2;
        }
        SetWindowPos(controls[i], nullptr, place.left, place.top, place.width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (kControls[i].kind == ControlKind::DropDownList) {
            // The closed box is its selection field and borders: the field grows or shrinks
            // until the box is as high as the control's place. Corrections are measured rather
            // than computed, since not every version reports the field height as it takes it.
            LRESULT field = SendMessageW(controls[i], CB_GETITEMHEIGHT, WPARAM(-1), 0);
            for (int attempt = 0; attempt < kComboHeightAttempts; ++attempt) {
                RECT closed;
                GetWindowRect(controls[i], &closed);
                const LONG difference = place.height - (closed.bottom - closed.top);
                if (difference == 0) {
                    break;
                }
                field += difference;
                SendMessageW(controls[i], CB_SETITEMHEIGHT, WPARAM(-1), field);
            }
        }
    }
    if (font != nullptr) {
        DeleteObject(font);
    }
    font = newFont;

    const PixelRect client = ClientArea(pixelsPerInch);
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi);
    SetWindowPos(handle, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    InvalidateRect(handle, nullptr, TRUE);
}

bool Win32FormView::Window::PointerIsOverWindow() const {
    POINT position;
    if (!GetCursorPos(&position)) {
        return false;
    }
    const HWND below = WindowFromPoint(position);
    return below == handle || IsChild(handle, below);
}

// What the dialog keyboard does not give: Ctrl+A selects all in both text boxes; in txtScript,
// Tab moves on, and Escape must not reach the edit control, which would close a window it takes
// for a dialog.
bool Win32FormView::Window::TranslateKeyboard(MSG& message) {
    if (message.message == WM_KEYDOWN) {
        const bool textBox = message.hwnd == Control(ControlId::txtDatabaseName) ||
                             message.hwnd == Control(ControlId::txtScript);
        if (textBox && message.wParam == 'A' && GetKeyState(VK_CONTROL) < 0 &&
            GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_SHIFT) >= 0) {
            SendMessageW(message.hwnd, EM_SETSEL, 0, -1);
            return true;
        }
        if (message.hwnd == Control(ControlId::txtScript) && message.wParam == VK_ESCAPE) {
            return true;
        }
        // Tab leaves txtScript, as in the other controls, rather than typing a tab.
        if (message.hwnd == Control(ControlId::txtScript) && message.wParam == VK_TAB &&
            GetKeyState(VK_CONTROL) >= 0) {
            SetFocus(GetNextDlgTabItem(handle, message.hwnd, GetKeyState(VK_SHIFT) < 0));
            return true;
        }
    }
    // Tab order, access keys, and Enter and Escape as IDOK and IDCANCEL, which run nothing.
    return IsDialogMessageW(handle, &message) != FALSE;
}

LRESULT Win32FormView::Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const auto id = static_cast<int>(LOWORD(wParam));
            if (HIWORD(wParam) == BN_CLICKED) {
                if (id == kFirstControlId + static_cast<int>(IndexOf(ControlId::cmdCreate))) {
                    view.form_.cmdCreate_Click();
                } else if (id == kFirstControlId + static_cast<int>(IndexOf(ControlId::cmdClose))) {
                    view.form_.cmdClose_Click();
                }
            }
            return 0;
        }
        case WM_SETCURSOR:
            // The application-wide pointer overrides the window's own; the default lets each
            // control show its usual pointer.
            if (applicationPointer != MousePointer::Default ||
                windowPointer != MousePointer::Default) {
                SetCursor(CursorOf(applicationPointer != MousePointer::Default ? applicationPointer
                                                                               : windowPointer));
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                focusBeforeDeactivation = GetFocus();
            } else if (focusBeforeDeactivation != nullptr &&
                       IsChild(handle, focusBeforeDeactivation)) {
                SetFocus(focusBeforeDeactivation);
                return 0;
            }
            break;
        case WM_DROPFILES: {
            const auto drop = reinterpret_cast<HDROP>(wParam);
            const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
            if (length > 0) {
                std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
                const UINT copied = DragQueryFileW(drop, 0, path.data(), length + 1);
                view.form_.DatabaseFileDropped(
                    text::Utf16ToUtf8(path.data(), static_cast<std::size_t>(copied)));
            }
            DragFinish(drop);
            return 0;
        }
        case WM_DPICHANGED: {
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            ApplyDpi(HIWORD(wParam));
            SetWindowPos(handle, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
            return 0;
        }
        case WM_DESTROY:
            // Closed by the window system's own means: the program ends with its one window.
            view.form_.Unload();
            if (!ending) {
                PostQuitMessage(0);
            }
            return 0;
        case WM_NCDESTROY:
            handle = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

LRESULT CALLBACK Win32FormView::Window::Procedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->handle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

Win32FormView::Win32FormView(const SessionFactory& createSession, const StartupLookups& lookups)
    : window_(std::make_unique<Window>(*this)) {
    window_->Create();
    form_.Load(createSession, lookups);
}

Win32FormView::~Win32FormView() = default;

void* Win32FormView::Handle() const {
    return window_->handle;
}

void* Win32FormView::ControlHandle(ControlId id) const {
    return window_->Control(id);
}

void Win32FormView::Show() {
    HWND handle = window_->handle;
    RECT frame;
    GetWindowRect(handle, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(handle, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    SetWindowPos(handle, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(handle, SW_SHOW);
    SetForegroundWindow(handle);
    SetFocus(window_->Control(TabOrder().front()));
    UpdateWindow(handle);
}

std::string Win32FormView::Caption() {
    return WindowText(window_->handle);
}

void Win32FormView::SetCaption(const std::string& caption) {
    SetWindowTextW(window_->handle, Wide(caption).c_str());
}

void Win32FormView::SelectTableItem(int index) {
    SendMessageW(window_->Control(ControlId::cmbTable), CB_SETCURSEL, static_cast<WPARAM>(index),
                 0);
}

std::string Win32FormView::TableText() {
    return WindowText(window_->Control(ControlId::cmbTable));
}

std::string Win32FormView::DatabaseNameText() {
    return WindowText(window_->Control(ControlId::txtDatabaseName));
}

void Win32FormView::SetDatabaseNameText(const std::string& text) {
    SetWindowTextW(window_->Control(ControlId::txtDatabaseName), Wide(text).c_str());
}

void Win32FormView::SetScriptText(std::string_view text) {
    HWND script = window_->Control(ControlId::txtScript);
    SetWindowTextW(script, Wide(text).c_str());
    // Painted now: the run hands no control back to the message loop until it ends.
    UpdateWindow(script);
}

void Win32FormView::SetDatabaseNameToolTip(const std::string& text) {
    Window& window = *window_;
    const std::wstring tip = Wide(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window.handle;
    tool.uId = reinterpret_cast<UINT_PTR>(window.Control(ControlId::txtDatabaseName));
    tool.lpszText = const_cast<wchar_t*>(tip.c_str());
    if (window.toolTip != nullptr) {
        SendMessageW(window.toolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        return;
    }
    // Owned by the window, the tooltip goes with it.
    window.toolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window.handle,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window.toolTip == nullptr) {
        return;  // a hint only: the box works without it
    }
    // Long texts wrap rather than run across the screen.
    SendMessageW(window.toolTip, TTM_SETMAXTIPWIDTH, 0,
                 MulDiv(kToolTipWidth, static_cast<int>(GetDpiForWindow(window.handle)), 96));
    SendMessageW(window.toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32FormView::ShowMessageBox(const std::string& text, MessageStyle style,
                                   const std::string& details) {
    const std::wstring title = Wide(kApplicationTitle);
    static const TaskDialogIndirectCall taskDialogIndirect = FindTaskDialogIndirect();
    if (!details.empty() && taskDialogIndirect != nullptr) {
        // The message box's text, icon and button, with the details behind "Show details".
        const std::wstring content = Wide(text);
        const std::wstring expanded = Wide(details);
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof(config);
        config.hwndParent = window_->handle;
        config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
        config.dwCommonButtons = TDCBF_OK_BUTTON;
        config.pszWindowTitle = title.c_str();
        config.pszMainIcon = style == MessageStyle::Information ? TD_INFORMATION_ICON : nullptr;
        config.pszContent = content.c_str();
        config.pszExpandedInformation = expanded.c_str();
        config.pszCollapsedControlText = L"Show details";
        config.pszExpandedControlText = L"Hide details";
        if (SUCCEEDED(taskDialogIndirect(&config, nullptr, nullptr, nullptr))) {
            return;
        }
    }
    // The style numbers are the window system's own: 64 information icon and OK, 0 OK only.
    // Without a task dialog the details follow the text.
    const std::string shown = details.empty() ? text : text + "\r\n\r\n" + details;
    MessageBoxW(window_->handle, Wide(shown).c_str(), title.c_str(), static_cast<UINT>(style));
}

void Win32FormView::SetWindowPointer(MousePointer pointer) {
    window_->windowPointer = pointer;
    // No message arrives while a Create runs, so the pointer changes now.
    if (applicationPointer == MousePointer::Default && window_->PointerIsOverWindow()) {
        SetCursor(CursorOf(pointer));
    }
}

void Win32FormView::SetApplicationPointer(MousePointer pointer) {
    applicationPointer = pointer;
    SetCursor(CursorOf(pointer != MousePointer::Default ? pointer : window_->windowPointer));
}

void Win32FormView::EndProgram() {
    window_->ending = true;
    ShowWindow(window_->handle, SW_HIDE);
    PostQuitMessage(0);
}

namespace {

void Dispatch(Win32FormView::Window& window, MSG& message) {
    if (!window.TranslateKeyboard(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

int RunMessageLoop(Win32FormView& view) {
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        Dispatch(*view.window_, message);
    }
    return result < 0 ? kExitUnhandledError : static_cast<int>(message.wParam);
}

bool ProcessWaitingMessages(Win32FormView& view) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        Dispatch(*view.window_, message);
    }
    return true;
}

int ReportUnhandledError(const std::exception& error) {
    const RunTimeError report = DescribeUnhandledError(error);
    MessageBoxW(nullptr, Wide(RunTimeErrorText(report)).c_str(), Wide(kApplicationTitle).c_str(),
                MB_OK | MB_ICONERROR);
    return UnhandledErrorExitCode(error);
}

}  // namespace qelt::gui
