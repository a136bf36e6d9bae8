#include "tests/win32/ProgramProbe.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32.h"

namespace trx::test {

using win32::FromWide;
using win32::Wide;

std::u16string WindowText(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR got = 0;
    // Asked as a message, so that another process's control answers itself.
    if (SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 2000, &got) == 0) {
        return {};
    }
    return FromWide(std::wstring_view(text, got));
}

std::u16string ClassName(HWND window) {
    wchar_t name[64] = {};
    const int got = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return FromWide(std::wstring_view(name, got > 0 ? static_cast<std::size_t>(got) : 0));
}

namespace {

bool IsIconStatic(HWND child) {
    return ClassName(child) == u"Static" &&
           (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

struct Children {
    HWND icon = nullptr;
    HWND text = nullptr;
};

Children FindChildren(HWND box) {
    Children found;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsIconStatic(child)) {
            found.icon = child;
        } else if (ClassName(child) == u"Static" && found.text == nullptr &&
                   !WindowText(child).empty()) {
            found.text = child;
        }
    }
    return found;
}

// A 32-bit picture in memory to copy from the screen or draw into.
class Canvas {
  public:
    Canvas(int width, int height) : screen_(GetDC(nullptr)), memory_(CreateCompatibleDC(screen_)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(memory_, bitmap_);
        count_ = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
    ~Canvas() {
        SelectObject(memory_, old_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Screen() const { return screen_; }
    HDC Dc() const { return memory_; }
    std::uint32_t* Bits() const { return static_cast<std::uint32_t*>(bits_); }
    // The pixels as 0x00RRGGBB values.
    std::vector<std::uint32_t> Pixels() const {
        GdiFlush();
        return bits_ == nullptr ? std::vector<std::uint32_t>()
                                : std::vector<std::uint32_t>(Bits(), Bits() + count_);
    }

  private:
    HDC screen_;
    HDC memory_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
    std::size_t count_ = 0;
};

std::vector<std::uint32_t> Capture(const RECT& rect) {
    Canvas canvas(rect.right - rect.left, rect.bottom - rect.top);
    BitBlt(canvas.Dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, canvas.Screen(),
           rect.left, rect.top, SRCCOPY);
    return canvas.Pixels();
}

// A system icon drawn as the box draws it, on the given background.
std::vector<std::uint32_t> Render(LPCWSTR icon, int width, int height, std::uint32_t background) {
    Canvas canvas(width, height);
    if (canvas.Bits() != nullptr) {
        std::fill_n(canvas.Bits(), static_cast<std::size_t>(width * height), background);
    }
    DrawIconEx(canvas.Dc(), 0, 0, LoadIconW(nullptr, icon), 0, 0, 0, nullptr, DI_NORMAL);
    return canvas.Pixels();
}

std::size_t Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int x = static_cast<int>((a[i] >> shift) & 0xFF);
            const int y = static_cast<int>((b[i] >> shift) & 0xFF);
            if (std::abs(x - y) > 48) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// Which system icon the box shows. Another process's icon handle cannot be
// read, so the icon is told by its picture on the screen: it is compared
// with the warning and the information icon drawn here on the same ground.
BoxIcon ReadIcon(HWND iconStatic) {
    if (iconStatic == nullptr || !IsWindowVisible(iconStatic) ||
        SendMessageW(iconStatic, STM_GETICON, 0, 0) == 0) {
        return BoxIcon::None;
    }
    RECT rect{};
    GetWindowRect(iconStatic, &rect);
    const int width = std::min<int>(rect.right - rect.left, GetSystemMetrics(SM_CXICON));
    const int height = std::min<int>(rect.bottom - rect.top, GetSystemMetrics(SM_CYICON));
    if (width <= 0 || height <= 0) {
        return BoxIcon::Unknown;
    }
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    const auto shown = Capture(rect);
    if (shown.empty()) {
        return BoxIcon::Unknown;
    }
    const std::uint32_t ground = shown.front() & 0xFFFFFF;  // a corner is transparent
    const std::size_t warning = Differences(shown, Render(IDI_WARNING, width, height, ground));
    const std::size_t information =
        Differences(shown, Render(IDI_INFORMATION, width, height, ground));
    const std::size_t limit = shown.size() / 10;
    if (warning < information && warning <= limit) {
        return BoxIcon::Warning;
    }
    if (information < warning && information <= limit) {
        return BoxIcon::Information;
    }
    return BoxIcon::Unknown;
}

struct BoxSearch {
    DWORD process;
    HWND found = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // A message box is a dialog with an OK button; the program's own dialog has none.
    if (owner == search->process && IsWindowVisible(window) && ClassName(window) == u"#32770" &&
        GetDlgItem(window, IDOK) != nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

ShownBox AnswerBox(HWND box) {
    // The box has made its controls before it was shown; its icon may be
    // drawn late on a busy machine, which is looked for below.
    ShownBox shown;
    wchar_t title[512] = {};
    const int got = GetWindowTextW(box, title, static_cast<int>(std::size(title)));
    shown.title = FromWide(std::wstring_view(title, got > 0 ? static_cast<std::size_t>(got) : 0));
    const Children children = FindChildren(box);
    shown.text = children.text != nullptr ? WindowText(children.text) : u"";
    // A busy machine may paint the box late: look again for a few seconds.
    shown.icon = ReadIcon(children.icon);
    for (int i = 0; i < 20 && shown.icon == BoxIcon::Unknown; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        shown.icon = ReadIcon(children.icon);
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    // Wait until this box is gone, so that it is not read twice.
    for (int i = 0; i < 100 && IsWindow(box) && IsWindowVisible(box); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return shown;
}

HANDLE InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<std::uint32_t> CaptureScreen(const RECT& rect) {
    return Capture(rect);
}

const char* BoxIconName(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::None:
            return "none";
        case BoxIcon::Information:
            return "information";
        case BoxIcon::Warning:
            return "warning";
        case BoxIcon::Unknown:
            break;
    }
    return "unknown";
}

RunningProgram::RunningProgram(const std::u16string& program, const std::u16string& arguments,
                               const std::u16string& folder)
    : outPath_(Wide(folder) + L"\\probe-out.txt"), errPath_(Wide(folder) + L"\\probe-err.txt") {
    // Output goes to files: a pipe nobody reads could stall the program.
    HANDLE out = InheritableFile(outPath_);
    HANDLE err = InheritableFile(errPath_);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring commandLine = L"\"" + Wide(program) + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + Wide(arguments);
    }
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        Wide(folder).c_str(), &startup, &process_)) {
        process_ = {};
    }
    CloseHandle(out);
    CloseHandle(err);
}

RunningProgram::~RunningProgram() {
    if (Started()) {
        if (!Wait(0)) {
            TerminateProcess(process_.hProcess, 255);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    DeleteFileW(outPath_.c_str());
    DeleteFileW(errPath_.c_str());
}

namespace {

struct WindowSearch {
    DWORD process;
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, static_cast<int>(std::size(title)));
    if (owner == search->process && IsWindowVisible(window) && search->title == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND RunningProgram::WaitForWindow(std::u16string_view title, int milliseconds) const {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    WindowSearch search{process_.dwProcessId, Wide(title)};
    do {
        EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            // Returns once the window's thread has come to its message loop.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
            return search.found;
        }
    } while (Started() && WaitForSingleObject(process_.hProcess, 50) == WAIT_TIMEOUT &&
             std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

std::optional<ShownBox> RunningProgram::AnswerNextBox(int milliseconds) const {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        BoxSearch search{process_.dwProcessId};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return AnswerBox(search.found);
        }
    } while (Started() && WaitForSingleObject(process_.hProcess, 50) == WAIT_TIMEOUT &&
             std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

std::optional<unsigned long> RunningProgram::Wait(int milliseconds) const {
    if (!Started() ||
        WaitForSingleObject(process_.hProcess, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::string RunningProgram::Output() const {
    return ReadAll(outPath_);
}

std::string RunningProgram::Errors() const {
    return ReadAll(errPath_);
}

ProgramRun RunProgram(const std::u16string& program, const std::u16string& arguments,
                      const std::u16string& folder, int seconds) {
    ProgramRun run;
    RunningProgram running(program, arguments, folder);
    run.started = running.Started();
    if (!run.started) {
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::optional<unsigned long> code;
    while (!(code = running.Wait(50))) {
        if (std::chrono::steady_clock::now() > deadline) {
            run.timedOut = true;  // the program is ended as `running` goes
            break;
        }
        if (std::optional<ShownBox> box = running.AnswerNextBox(0)) {
            run.boxes.push_back(std::move(*box));
        }
    }
    run.exitCode = code.value_or(255);
    run.out = running.Output();
    run.err = running.Errors();
    return run;
}

}  // namespace trx::test
