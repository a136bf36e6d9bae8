#pragma once

#include "platform/ConsoleMessageBox.h"
#include "platform/MessageBox.h"
#include "platform/posix/GuiModule.h"

#include <iostream>
#include <string>

namespace trx {

// The message box a program shows its user: the graphical module's box where
// a graphical display is reachable (see DisplayReachable), otherwise the
// console form. The module is loaded only when the first box is really shown
// on a display, so that a run that shows nothing needs no display and starts
// fast. Where the module cannot be loaded, the boxes take the console form,
// after one line on the error stream that says why.
class DesktopMessageBox : public MessageBox {
  public:
    DesktopMessageBox(GuiModule& gui, bool useDisplay, std::ostream& out = std::cout,
                      std::ostream& err = std::cerr);

    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override;

  private:
    GuiModule& gui_;
    bool useDisplay_;
    std::ostream& err_;
    ConsoleMessageBox console_;
};

}  // namespace trx
