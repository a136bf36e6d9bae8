#pragma once

#include <string_view>

namespace trx {

enum class MessageIcon { None, Information, Warning };

// A modal message box with an OK button. Lines in the text end in CR LF.
class MessageBox {
  public:
    virtual ~MessageBox() = default;
    virtual void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) = 0;
};

}  // namespace trx
