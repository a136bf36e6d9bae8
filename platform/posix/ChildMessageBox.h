#pragma once

#include "platform/MessageBox.h"
#include "platform/posix/GuiModule.h"

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

namespace trx {

// How long a child process may take to start the graphical toolkit on the
// display before it counts as failed.
inline constexpr std::chrono::milliseconds kDisplayStartTime{5000};

// The message box on a display. Each box is shown by a child process of the
// program itself (started with kShowMessageSwitch), which loads the graphical
// module and tells on a pipe when its toolkit has started: whatever the
// display does to that child (refuses it, ends it, keeps it waiting) cannot
// end or hold up the program. A child that cannot start, fails or gives no
// sign within `startTime` is ended; that message and every later one then
// go to `fallback`, after one line on `err` that says why. Once the box is
// up, the call waits until it is closed, as a modal box does.
class ChildMessageBox : public MessageBox {
  public:
    // `program`: the running program's own executable. Without `onDisplay`
    // (no display reachable) every message goes to `fallback` at once.
    ChildMessageBox(std::string program, bool onDisplay, MessageBox& fallback,
                    std::ostream& err = std::cerr,
                    std::chrono::milliseconds startTime = kDisplayStartTime)
        : program_(std::move(program)),
          fallback_(fallback),
          err_(err),
          startTime_(startTime),
          failed_(!onDisplay) {}

    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override;

  private:
    std::string program_;
    MessageBox& fallback_;
    std::ostream& err_;
    std::chrono::milliseconds startTime_;
    bool failed_;
};

// Whether the graphical toolkit starts on the display, tried in a child
// process (kTryDisplaySwitch) under the same bound as a box: for a program
// that then shows a dialog itself. Empty when it starts, else why not.
std::optional<std::string> ToolkitStartFailure(
    const std::string& program, std::chrono::milliseconds startTime = kDisplayStartTime);

// The switches of those child processes; not meant for people.
inline constexpr char kShowMessageSwitch[] = "-ShowMessageBox";
inline constexpr char kTryDisplaySwitch[] = "-TryDisplay";

// The child's side. `-ShowMessageBox icon title text pipe` starts the
// toolkit of `gui`, tells the pipe, shows the box and returns 0 (1 when the
// toolkit does not start); without the pipe, the box goes to `box`.
// `-TryDisplay pipe` only starts the toolkit and tells. Empty for other
// arguments.
std::optional<int> HandleShowMessage(int argc, const char* const* argv, GuiModule& gui,
                                     MessageBox& box);

}  // namespace trx
