#pragma once

#include "platform/MessageBox.h"

#include <optional>
#include <string>

namespace trx {

// The message box of an automation server on a display. The server keeps
// its plain, non-graphical application object (it starts fast and never
// loads the graphical libraries), so each box is shown by a child process of
// the program itself, started with kShowMessageSwitch; the call waits until
// the box is closed, as a modal box does. Where the child cannot be started
// or fails, `fallback` shows the message.
class ChildMessageBox : public MessageBox {
  public:
    // `program`: the running program's own executable.
    ChildMessageBox(std::string program, MessageBox& fallback)
        : program_(std::move(program)), fallback_(fallback) {}

    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override;

  private:
    std::string program_;
    MessageBox& fallback_;
};

// The switch that makes a program show one box (icon number, title, text)
// and end; not meant for people.
inline constexpr char kShowMessageSwitch[] = "-ShowMessageBox";

// The child's side: when the arguments are the switch and the box, shows it
// on `box` and returns the exit code; otherwise empty.
std::optional<int> HandleShowMessage(int argc, const char* const* argv, MessageBox& box);

}  // namespace trx
