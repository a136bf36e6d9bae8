// vxTRXVer.exe /CREATE as a person works it: the dialog found among the
// desktop's windows, its controls read through Win32, keys and clicks sent
// as messages, and the record file read afterwards.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <wincodec.h>

#include "common/Text.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32.h"
#include "tests/support/TempDir.h"
#include "tests/win32/ProgramProbe.h"

namespace trx::test {
namespace {

const std::string kRecord = "[Common]\r\nVersion=4.1\r\nRequiredDBVersion=4010\r\nBuild=7743.2\r\n";

struct Control {
    HWND window;
    std::u16string windowClass;
    std::u16string text;
    RECT rect;  // in the dialog's client area
};

// The dialog's controls in the order of its windows, which is the tab order.
std::vector<Control> Controls(HWND dialog) {
    std::vector<Control> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        Control control{child, ClassName(child), WindowText(child), {}};
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&control.rect), 2);
        controls.push_back(std::move(control));
    }
    return controls;
}

HWND Focus(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

// Waits until the program has handled the messages posted before. A thread
// takes sent messages at each turn of its message loop and then one posted
// message, so each sent message that comes back marks one more posted message
// handled; a key press posts at most a few, and those post few more.
void Settle(HWND window) {
    for (int turn = 0; turn < 12; ++turn) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    }
}

// A key pressed on the focused control, through the dialog's message loop.
void PressKey(HWND dialog, WPARAM key) {
    HWND target = Focus(dialog);
    PostMessageW(target, WM_KEYDOWN, key, 1);
    if (key == VK_RETURN || key == VK_ESCAPE) {
        PostMessageW(target, WM_CHAR, key, 1);
    }
    PostMessageW(target, WM_KEYUP, key, 1u | (3u << 30));
    Settle(dialog);
}

// Types over the whole text of a box, one character after another.
void TypeOver(HWND box, std::u16string_view text) {
    SendMessageW(box, EM_SETSEL, 0, -1);
    for (char16_t c : text) {
        SendMessageW(box, WM_CHAR, c, 1);
    }
}

// Today's build: the days since 30.09.1998.
int TodaysBuild() {
    using namespace std::chrono;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const sys_days today{year{now.wYear} / month{now.wMonth} / day{now.wDay}};
    return static_cast<int>((today - sys_days{year{1998} / September / 30}).count());
}

// Saves 32-bit pixels (top row first) as a PNG file, through the platform's
// imaging component.
bool SavePng(std::vector<std::uint32_t>& pixels, int width, int height, const std::wstring& file) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return false;
    }
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    const UINT stride = static_cast<UINT>(width) * 4;
    const bool saved =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
        SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(width, height)) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat32bppBGR &&
        SUCCEEDED(frame->WritePixels(height, stride, stride * height,
                                     reinterpret_cast<BYTE*>(pixels.data()))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    for (IUnknown* object : std::initializer_list<IUnknown*>{frame, encoder, stream, factory}) {
        if (object != nullptr) {
            object->Release();
        }
    }
    CoUninitialize();
    return saved;
}

class CreateVersionDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
        GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
        ASSERT_STREQ(locale, L"de-DE") << "run under a German user locale (LANG=de_DE.UTF-8)";
        const std::filesystem::path built(TRX_VXTRXVER_EXE);
        std::filesystem::copy_file(built, dir_ / "vxTRXVer.exe");
        WriteFile(dir_ / "vxTRX.ini", kRecord);
    }

    // Starts the program with /CREATE and finds its dialog.
    HWND Open() {
        program_.emplace(dir_.Path().u16string() + u"\\vxTRXVer.exe", u"/CREATE",
                         dir_.Path().u16string());
        EXPECT_TRUE(program_->Started());
        HWND dialog = program_->WaitForWindow(u"Create Version");
        EXPECT_NE(dialog, nullptr) << "no dialog";
        return dialog;
    }
    HWND Box(HWND dialog, int tabIndex) { return Controls(dialog).at(tabIndex).window; }
    std::u16string TextAt(HWND dialog, int tabIndex) { return WindowText(Box(dialog, tabIndex)); }
    std::string Ini() const { return ReadFile(dir_ / "vxTRX.ini"); }

    TempDir dir_;
    std::optional<RunningProgram> program_;
};

TEST_F(CreateVersionDialog, ShowsTheRecordInTheLayoutAndSavesItsPicture) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    const int dpi = static_cast<int>(GetDpiForWindow(dialog));
    const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, px(4680));
    EXPECT_EQ(client.bottom, px(2565));
    const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);

    struct Expected {
        const char16_t* windowClass;
        const char16_t* text;
        int left, top, width, height;  // twips
    };
    const Expected layout[] = {
        {u"Static", u"Version:", 120, 240, 1095, 255},
        {u"Edit", u"4.1", 1320, 180, 1215, 345},
        {u"Static", u"Build:", 120, 780, 1095, 255},
        {u"Edit", u"7743", 1320, 720, 855, 345},
        {u"Static", u"Index:", 120, 1140, 1095, 255},
        {u"Edit", u"2", 1320, 1080, 375, 345},
        {u"Static", u"Build Date:", 120, 1620, 1095, 255},
        {u"Edit", u"12.12.2019", 1320, 1560, 975, 345},
        {u"Button", u"Create New", 3120, 240, 1335, 435},
        {u"Button", u"Save", 3120, 840, 1335, 435},
    };
    const std::vector<Control> controls = Controls(dialog);
    ASSERT_EQ(controls.size(), std::size(layout));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& c = controls[i];
        const Expected& e = layout[i];
        SCOPED_TRACE(ToUtf8(e.text));
        EXPECT_EQ(c.windowClass, e.windowClass);
        EXPECT_EQ(ToUtf8(c.text), ToUtf8(e.text));
        EXPECT_EQ((std::array{c.rect.left, c.rect.top, c.rect.right, c.rect.bottom}),
                  (std::array<LONG, 4>{px(e.left), px(e.top), px(e.left) + px(e.width),
                                       px(e.top) + px(e.height)}));
        const LONG_PTR controlStyle = GetWindowLongPtrW(c.window, GWL_STYLE);
        EXPECT_TRUE(IsWindowEnabled(c.window) && IsWindowVisible(c.window));
        EXPECT_EQ((controlStyle & WS_TABSTOP) != 0, c.windowClass != u"Static");
        EXPECT_FALSE(controlStyle & (ES_READONLY | ES_MULTILINE | BS_DEFPUSHBUTTON));
    }
    // The date shows whole in its box, unscrolled, also with the caret after it.
    SendMessageW(controls[7].window, EM_SETSEL, 10, 10);
    EXPECT_EQ(SendMessageW(controls[7].window, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    // As it appears on the screen, frame included, into the build folder;
    // the target refresh-docs-picture copies it into docs/.
    RECT rect{};
    GetWindowRect(dialog, &rect);
    std::vector<std::uint32_t> pixels = CaptureScreen(rect);
    EXPECT_TRUE(SavePng(pixels, rect.right - rect.left, rect.bottom - rect.top,
                        std::filesystem::path(TRX_PICTURE_DIR "/create-version-windows.png")
                            .make_preferred()
                            .wstring()));

    // Save clicked as UI automation and accessibility tools click, by a
    // message sent from another process: the dialog closes at once.
    SendMessageW(controls[9].window, BM_CLICK, 0, 0);
    EXPECT_EQ(program_->Wait(), 0u);
    EXPECT_EQ(Ini(), kRecord);
}

TEST_F(CreateVersionDialog, TakesKeysAndTypedValuesAndSaves) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    const std::vector<Control> controls = Controls(dialog);
    // The labels take no focus; it starts in the version box.
    for (const int tabIndex : {1, 3, 5, 7, 8, 9, 1, 3, 5, 7}) {
        EXPECT_EQ(Focus(dialog), controls[tabIndex].window) << "tab index " << tabIndex;
        PressKey(dialog, VK_TAB);
    }
    // On "Create New" (which would change the build), on "Save" and in a
    // text box, Enter and Escape do nothing.
    for (const int tabIndex : {8, 9, 1}) {
        ASSERT_EQ(Focus(dialog), controls[tabIndex].window);
        PressKey(dialog, VK_RETURN);
        PressKey(dialog, VK_ESCAPE);
        PressKey(dialog, VK_TAB);
    }
    EXPECT_FALSE(program_->Wait(0).has_value()) << "the dialog closed";
    EXPECT_EQ(ToUtf8(TextAt(dialog, 3)), "7743");
    EXPECT_EQ(Ini(), kRecord);

    TypeOver(Box(dialog, 3), u"7000");
    EXPECT_EQ(ToUtf8(TextAt(dialog, 7)), "29.11.2017");
    // Entered in one step, as by pasting: typed, "1.2" would already be a date.
    SendMessageW(Box(dialog, 7), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1.2.2019"));
    EXPECT_EQ(ToUtf8(TextAt(dialog, 3)), "7429");
    TypeOver(Box(dialog, 5), u"12x");
    EXPECT_EQ(ToUtf8(TextAt(dialog, 5)), "12x");
    TypeOver(Box(dialog, 1), u"4.2");

    PostMessageW(Box(dialog, 8), BM_CLICK, 0, 0);  // Create New
    Settle(dialog);
    const std::string today = std::to_string(TodaysBuild());
    EXPECT_EQ(ToUtf8(TextAt(dialog, 3)), today);
    EXPECT_EQ(ToUtf8(TextAt(dialog, 1)), "4.2");
    EXPECT_EQ(ToUtf8(TextAt(dialog, 5)), "12");  // redisplayed

    PostMessageW(Box(dialog, 9), BM_CLICK, 0, 0);  // Save
    EXPECT_EQ(program_->Wait(), 0u);
    EXPECT_EQ(Ini(),
              "[Common]\r\nVersion=4.2\r\nRequiredDBVersion=4010\r\nBuild=" + today + ".12\r\n");
}

// A record that cannot be written is not lost: the program warns, and the
// dialog stays open with the edits until its close box closes it.
TEST_F(CreateVersionDialog, AFailedSaveWarnsAndKeepsTheDialogOpen) {
    std::filesystem::remove(dir_ / "vxTRX.ini");
    std::filesystem::create_directory(dir_ / "vxTRX.ini");  // readable as no record, not writable
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ToUtf8(TextAt(dialog, 3)), std::to_string(TodaysBuild()));
    TypeOver(Box(dialog, 1), u"4.2");
    PostMessageW(Box(dialog, 9), BM_CLICK, 0, 0);

    const std::optional<ShownBox> box = program_->AnswerNextBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(ToUtf8(box->title), "Fehler");
    EXPECT_STREQ(BoxIconName(box->icon), "warning");
    EXPECT_EQ(ToUtf8(box->text), ToUtf8(u"'" + dir_.Path().u16string() +
                                        u"\\vxTRX.ini' konnte nicht gespeichert werden."));
    Settle(dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(ToUtf8(TextAt(dialog, 1)), "4.2");
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program_->Wait(), 0u);
}

}  // namespace
}  // namespace trx::test
