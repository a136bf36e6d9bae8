#include "platform/posix/DesktopMessageBox.h"

namespace trx {

DesktopMessageBox::DesktopMessageBox(GuiModule& gui, bool useDisplay, std::ostream& out,
                                     std::ostream& err)
    : gui_(gui), useDisplay_(useDisplay), err_(err), console_(out, err) {}

void DesktopMessageBox::Show(std::u16string_view text, MessageIcon icon,
                             std::u16string_view title) {
    if (useDisplay_) {
        if (GuiToolkit* toolkit = gui_.Toolkit()) {
            toolkit->ShowMessage(text, icon, title);
            return;
        }
        err_ << NoDisplayNotice(gui_.Error());
        useDisplay_ = false;
    }
    console_.Show(text, icon, title);
}

}  // namespace trx
