#pragma once

// Runs a Windows program as a person would and answers its message boxes:
// each box of the program is found among the desktop's windows, read (title,
// text, icon) and closed with its OK button.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/Win32.h"

namespace trx::test {

enum class BoxIcon { None, Information, Warning, Unknown };

const char* BoxIconName(BoxIcon icon);

struct ShownBox {
    std::u16string title;
    std::u16string text;
    BoxIcon icon = BoxIcon::Unknown;
};

struct ProgramRun {
    bool started = false;
    bool timedOut = false;  // still running after the time allowed; then ended
    unsigned long exitCode = 0;
    std::vector<ShownBox> boxes;  // in the order they appeared
    std::string out;              // standard output and error, as written
    std::string err;
};

// Starts `program` with the argument text as typed after its quoted name, in
// `folder`, and answers every box until it ends (at most `seconds`).
ProgramRun RunProgram(const std::u16string& program, const std::u16string& arguments,
                      const std::u16string& folder, int seconds = 60);

// A program started as a person starts it, for a test that works its windows
// itself. Ended when the object goes, if it still runs.
class RunningProgram {
  public:
    RunningProgram(const std::u16string& program, const std::u16string& arguments,
                   const std::u16string& folder);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    // The program's visible top-level window with this title, once it is
    // there; null if none came in time or the program ended.
    HWND WaitForWindow(std::u16string_view title, int milliseconds = 30000) const;
    // The program's next message box, read and answered with OK.
    std::optional<ShownBox> AnswerNextBox(int milliseconds = 30000) const;
    // The exit code once the program has ended; empty while it runs.
    std::optional<unsigned long> Wait(int milliseconds = 30000) const;
    // Standard output and error, once it has ended.
    std::string Output() const;
    std::string Errors() const;

  private:
    PROCESS_INFORMATION process_{};
    std::wstring outPath_;
    std::wstring errPath_;
};

// Another process's windows, read through messages.
std::u16string WindowText(HWND window);
std::u16string ClassName(HWND window);

// What the screen shows in a rectangle: 0x00RRGGBB pixels, top row first.
std::vector<std::uint32_t> CaptureScreen(const RECT& rect);

}  // namespace trx::test
