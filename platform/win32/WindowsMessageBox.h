#pragma once

#include "platform/MessageBox.h"

namespace trx {

// The platform's own modal message box (MessageBoxW) with an OK button, no
// owner window (task-modal: the program's windows wait for it), and the warning, information or no
// icon.
class WindowsMessageBox final : public MessageBox {
  public:
    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override;
};

}  // namespace trx
