#include "platform/qt/DesktopMessageBox.h"

#include <QApplication>

namespace trx {

DesktopMessageBox::DesktopMessageBox(std::string programName, bool useDisplay, std::ostream& out,
                                     std::ostream& err)
    : programName_(std::move(programName)), useDisplay_(useDisplay), console_(out, err) {
    argv_[0] = programName_.data();
}

DesktopMessageBox::~DesktopMessageBox() = default;

void DesktopMessageBox::Show(std::u16string_view text, MessageIcon icon,
                             std::u16string_view title) {
    if (!useDisplay_) {
        console_.Show(text, icon, title);
        return;
    }
    if (QCoreApplication::instance() == nullptr) {
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    graphical_.Show(text, icon, title);
}

}  // namespace trx
