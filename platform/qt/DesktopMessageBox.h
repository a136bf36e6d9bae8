#pragma once

#include "platform/ConsoleMessageBox.h"
#include "platform/DisplayProbe.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessageBox.h"

#include <iostream>
#include <memory>
#include <string>

class QApplication;

namespace trx {

// The message box a program shows its user: a Qt box where a graphical
// display is reachable (see DisplayReachable), otherwise the console form. The Qt application
// object is created only when the first box is really shown on a display, so that a run that shows
// nothing needs no display and starts fast.
class DesktopMessageBox : public MessageBox {
  public:
    explicit DesktopMessageBox(std::string programName, bool useDisplay = DisplayReachable(),
                               std::ostream& out = std::cout, std::ostream& err = std::cerr);
    ~DesktopMessageBox() override;
    DesktopMessageBox(const DesktopMessageBox&) = delete;
    DesktopMessageBox& operator=(const DesktopMessageBox&) = delete;

    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override;

  private:
    std::string programName_;
    bool useDisplay_;
    ConsoleMessageBox console_;
    QtMessageBox graphical_;
    // QApplication keeps references to these for its whole life.
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> application_;
};

}  // namespace trx
