#pragma once

#include "platform/MessageBox.h"

namespace trx {

// The message box on a graphical display: a modal QMessageBox with the icon,
// the title, the text and an OK button alone. A QApplication must exist.
class QtMessageBox : public MessageBox {
  public:
    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override;
};

}  // namespace trx
