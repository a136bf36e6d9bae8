#pragma once

#include "platform/MessageBox.h"

#include <iostream>
#include <string>
#include <string_view>

namespace trx {

// The message box where no display is reachable (a script, an SSH session,
// CI): one line "title: text" per box, warnings on the error stream so that
// scripts can tell them apart. CR LF line ends become plain line feeds.
class ConsoleMessageBox : public MessageBox {
  public:
    ConsoleMessageBox() : ConsoleMessageBox(std::cout, std::cerr) {}
    ConsoleMessageBox(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override;

    // The text as the console shows it: title, ": ", text with LF line ends, LF.
    static std::string Format(std::u16string_view text, std::u16string_view title);

  private:
    std::ostream& out_;
    std::ostream& err_;
};

// The line a program writes once when its boxes take the console form
// although a display is named, because it failed them (`why`).
std::string NoDisplayNotice(std::string_view why);

}  // namespace trx
