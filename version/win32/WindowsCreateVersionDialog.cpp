#include "version/win32/WindowsCreateVersionDialog.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "common/AutomationDate.h"
#include "platform/win32/WideText.h"

namespace trx {

namespace {

// Control identifiers; none is IDOK or IDCANCEL, which the dialog manager
// sends for Enter and Escape.
enum ControlId : int {
    kLabel1 = 1001,
    kTxtVersion,
    kLabel2,
    kTxtBuild,
    kLabel3,
    kTxtBuildIndex,
    kLabel4,
    kTxtBuildDate,
    kBtnNew,
    kBtnSave,
};

// The layout in twips, relative to the client area, in tab order.
struct ControlLayout {
    int id;
    const wchar_t* windowClass;
    const wchar_t* caption;
    int left, top, width, height;
};

constexpr ControlLayout kLayout[] = {
    {kLabel1, L"Static", L"Version:", 120, 240, 1095, 255},
    {kTxtVersion, L"Edit", L"", 1320, 180, 1215, 345},
    {kLabel2, L"Static", L"Build:", 120, 780, 1095, 255},
    {kTxtBuild, L"Edit", L"", 1320, 720, 855, 345},
    {kLabel3, L"Static", L"Index:", 120, 1140, 1095, 255},
    {kTxtBuildIndex, L"Edit", L"", 1320, 1080, 375, 345},
    {kLabel4, L"Static", L"Build Date:", 120, 1620, 1095, 255},
    {kTxtBuildDate, L"Edit", L"", 1320, 1560, 975, 345},
    {kBtnNew, L"Button", L"Create New", 3120, 240, 1335, 435},
    {kBtnSave, L"Button", L"Save", 3120, 840, 1335, 435},
};

constexpr int kClientWidth = 4680;
constexpr int kClientHeight = 2565;
constexpr int kTwipsPerInch = 1440;

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

int Pixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch);
}

void Append(std::vector<WORD>& out, DWORD value) {
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

void Append(std::vector<WORD>& out, const wchar_t* text) {
    for (; *text != L'\0'; ++text) {
        out.push_back(static_cast<WORD>(*text));
    }
    out.push_back(0);
}

// An extended dialog template without controls: the caption and the shell
// dialog font ("MS Shell Dlg", 8 points), the font the platform gives its
// own dialogs. The controls follow in pixels, since dialog units would place
// them by the font's size instead of the layout's.
std::vector<WORD> DialogTemplate() {
    std::vector<WORD> out;
    out.push_back(1);       // dlgVer
    out.push_back(0xFFFF);  // signature of the extended template
    Append(out, DWORD{0});  // helpID
    Append(out, kExStyle);
    Append(out, kStyle);
    out.push_back(0);  // no controls
    for (int i = 0; i < 4; ++i) {
        out.push_back(0);  // x, y, cx, cy: set in pixels when the dialog starts
    }
    out.push_back(0);  // no menu
    out.push_back(0);  // the dialog class
    Append(out, L"Create Version");
    out.push_back(8);          // point size
    out.push_back(FW_NORMAL);  // weight
    out.push_back(1 << 8);     // not italic; charset DEFAULT_CHARSET
    Append(out, L"MS Shell Dlg");
    return out;
}

DWORD ControlStyle(const ControlLayout& control) {
    const std::wstring_view windowClass = control.windowClass;
    if (windowClass == L"Edit") {
        return WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
    }
    if (windowClass == L"Button") {
        return WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    }
    // Labels take no focus, and an ampersand is no access key.
    return WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
}

// The dates whose short form is widest: every day of a leap year (each day
// and month number), and the 28 December of every year from the first build
// (1998) on, for fonts whose digits differ in width.
std::vector<std::wstring> WidestDateCandidates(const Locale& locale) {
    std::vector<std::wstring> dates;
    const double firstOf2000 = ToAutomationDate(CalendarDateTime{2000, 1, 1, 0, 0, 0}).value();
    for (int day = 0; day < 366; ++day) {
        dates.push_back(win32::Wide(locale.FormatShortDate(firstOf2000 + day)));
    }
    for (int year = 1998; year <= 2099; ++year) {
        dates.push_back(win32::Wide(locale.FormatShortDate(
            ToAutomationDate(CalendarDateTime{year, 12, 28, 0, 0, 0}).value())));
    }
    return dates;
}

int WidestText(HDC dc, const std::vector<std::wstring>& texts) {
    int widest = 0;
    for (const std::wstring& text : texts) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    return widest;
}

bool IsEnterOrEscape(const MSG& message) {
    switch (message.message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            return message.wParam == VK_RETURN || message.wParam == VK_ESCAPE ||
                   (message.message == WM_CHAR && message.wParam == L'\n');
        default:
            return false;
    }
}

}  // namespace

WindowsCreateVersionDialog::WindowsCreateVersionDialog(HINSTANCE instance, const Locale& dates)
    : dates_(dates) {
    // Aware of the system's DPI, so that the layout is scaled by this code
    // and not stretched as a picture by the system.
    const DPI_AWARENESS_CONTEXT previous =
        SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE);
    const std::vector<WORD> dialogTemplate = DialogTemplate();
    CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                               nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    if (previous != nullptr) {
        SetThreadDpiAwarenessContext(previous);
    }
}

WindowsCreateVersionDialog::~WindowsCreateVersionDialog() {
    events_ = nullptr;
    if (dialog_ != nullptr) {
        DestroyWindow(dialog_);
    }
    if (fittedFont_ != nullptr) {
        DeleteObject(fittedFont_);
    }
}

INT_PTR CALLBACK WindowsCreateVersionDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                        LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        auto* self = reinterpret_cast<WindowsCreateVersionDialog*>(lParam);
        self->dialog_ = window;
        self->CreateControls();
        return FALSE;  // the focus is set when the dialog is shown
    }
    auto* self =
        reinterpret_cast<WindowsCreateVersionDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_COMMAND:
            self->Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:  // the close box, Alt+F4, the system menu's Close
            self->Close();
            return TRUE;
        default:
            return FALSE;
    }
}

void WindowsCreateVersionDialog::CreateControls() {
    const UINT dpi = GetDpiForWindow(dialog_);
    RECT frame{0, 0, Pixels(kClientWidth, dpi), Pixels(kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // In the middle of the work area of the screen it appears on.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(dialog_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    SetWindowPos(dialog_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    const auto font = static_cast<WPARAM>(SendMessageW(dialog_, WM_GETFONT, 0, 0));
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog_, GWLP_HINSTANCE));
    // Created in tab order, which is also the order of the windows.
    for (const ControlLayout& control : kLayout) {
        const bool edit = std::wstring_view(control.windowClass) == L"Edit";
        HWND child = CreateWindowExW(
            edit ? WS_EX_CLIENTEDGE : 0, control.windowClass, control.caption,
            ControlStyle(control), Pixels(control.left, dpi), Pixels(control.top, dpi),
            Pixels(control.width, dpi), Pixels(control.height, dpi), dialog_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        SendMessageW(child, WM_SETFONT, font, FALSE);
        if (edit) {
            SendMessageW(child, EM_SETLIMITTEXT, 0, 0);  // as long as a box can hold
        }
    }
    fields_[0] = GetDlgItem(dialog_, kTxtVersion);
    fields_[1] = GetDlgItem(dialog_, kTxtBuild);
    fields_[2] = GetDlgItem(dialog_, kTxtBuildIndex);
    fields_[3] = GetDlgItem(dialog_, kTxtBuildDate);
    FitFontToDates();
}

// The layout, in pixels, was drawn for a smaller dialog font than some
// systems give (Wine's, for one); there the first digits of a date scroll out
// of the date box, and the person reads a wrong date. The dialog then takes
// the largest size of its font at which the widest date fits.
void WindowsCreateVersionDialog::FitFontToDates() {
    HWND box = Field(CreateVersionField::BuildDate);
    RECT client{};
    GetClientRect(box, &client);
    const auto margins = static_cast<DWORD>(SendMessageW(box, EM_GETMARGINS, 0, 0));
    // A pixel before the text, and one for the caret after it.
    const int room = client.right - LOWORD(margins) - HIWORD(margins) - 2;

    LOGFONTW font{};
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0));
    if (GetObjectW(dialogFont, sizeof(font), &font) == 0 || font.lfHeight >= 0) {
        return;
    }
    const std::vector<std::wstring> dates = WidestDateCandidates(dates_);
    HDC dc = GetDC(box);
    const int smallest = -MulDiv(6, GetDeviceCaps(dc, LOGPIXELSY), 72);  // 6 points
    HFONT fitted = nullptr;
    bool shrunk = false;
    for (; font.lfHeight <= smallest; ++font.lfHeight) {
        HFONT candidate = CreateFontIndirectW(&font);
        const HGDIOBJ previous = SelectObject(dc, candidate);
        const bool fits = WidestText(dc, dates) <= room;
        SelectObject(dc, previous);
        if (fits || font.lfHeight == smallest) {
            fitted = candidate;
            break;
        }
        DeleteObject(candidate);
        shrunk = true;
    }
    ReleaseDC(box, dc);
    if (!shrunk) {
        DeleteObject(fitted);  // the dialog's own font fits
        return;
    }
    fittedFont_ = fitted;
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fittedFont_), FALSE);
    }
}

void WindowsCreateVersionDialog::Command(int id, int code) {
    if (events_ == nullptr) {
        return;
    }
    // A text box reports every change of its text, typed or set; SetText
    // never sets a text the box already holds, so the form's redisplays
    // come to rest.
    if (code == EN_CHANGE) {
        switch (id) {
            case kTxtVersion:
                events_->txtVersion_Change();
                break;
            case kTxtBuild:
                events_->txtBuild_Change();
                break;
            case kTxtBuildIndex:
                events_->txtBuildIndex_Change();
                break;
            case kTxtBuildDate:
                events_->txtBuildDate_Change();
                break;
            default:
                break;
        }
    } else if (code == BN_CLICKED && id == kBtnNew) {
        events_->btnNew_Click();
    } else if (code == BN_CLICKED && id == kBtnSave) {
        events_->btnSave_Click();
    }
}

HWND WindowsCreateVersionDialog::Field(CreateVersionField field) const {
    return fields_[static_cast<int>(field)];
}

std::u16string WindowsCreateVersionDialog::Text(CreateVersionField field) const {
    HWND box = Field(field);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return win32::FromWide(text);
}

void WindowsCreateVersionDialog::SetText(CreateVersionField field, std::u16string_view text) {
    // Setting the same text again would raise a change the form does not
    // expect and move the caret of the box being typed into.
    HWND box = Field(field);
    if (Text(field) == text) {
        return;
    }
    SetWindowTextW(box, win32::Wide(text).c_str());
    // In the box being typed into, typing goes on after the new text.
    if (GetFocus() == box) {
        SendMessageW(box, EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
    }
}

void WindowsCreateVersionDialog::ShowModal() {
    if (dialog_ == nullptr) {
        return;
    }
    open_ = true;
    ShowWindow(dialog_, SW_SHOWNORMAL);
    SetForegroundWindow(dialog_);
    SendMessageW(dialog_, WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(Field(CreateVersionField::Version)), TRUE);
    MSG message;
    while (open_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // Someone asked the program to end: close, and leave the request
            // to the loop outside.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) {
            break;
        }
        if (IsEnterOrEscape(message) &&
            (message.hwnd == dialog_ || IsChild(dialog_, message.hwnd))) {
            continue;
        }
        if (!IsDialogMessageW(dialog_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    Close();
}

void WindowsCreateVersionDialog::Close() {
    if (!open_) {
        return;
    }
    open_ = false;
    // A click sent from another thread or process (as UI automation and
    // accessibility tools click) is handled inside GetMessageW, which
    // returns only for a posted message: this one ends the modal loop.
    PostMessageW(dialog_, WM_NULL, 0, 0);
    ShowWindow(dialog_, SW_HIDE);
    if (events_ != nullptr) {
        events_->Form_Unload();
    }
}

}  // namespace trx
