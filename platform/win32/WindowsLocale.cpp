#include "platform/win32/WindowsLocale.h"

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include "platform/win32/WideText.h"

namespace trx {

namespace {

// Frees a BSTR that an automation function handed over.
class OwnedBstr {
  public:
    ~OwnedBstr() { SysFreeString(text_); }
    BSTR* Out() { return &text_; }
    std::u16string Text() const {
        return text_ == nullptr ? std::u16string()
                                : win32::FromWide(std::wstring_view(text_, SysStringLen(text_)));
    }

  private:
    BSTR text_ = nullptr;
};

}  // namespace

std::u16string WindowsLocale::FormatShortDate(double date) const {
    OwnedBstr text;
    if (FAILED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, text.Out()))) {
        return {};
    }
    return text.Text();
}

std::u16string WindowsLocale::LongMonthName(int month) const {
    if (month < 1 || month > 12) {
        return {};
    }
    wchar_t name[80] = {};
    const int got = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT,
                                    static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + (month - 1)), name,
                                    static_cast<int>(std::size(name)));
    // The count includes the terminating NUL.
    return got > 1 ? win32::FromWide(std::wstring_view(name, static_cast<std::size_t>(got - 1)))
                   : std::u16string();
}

std::optional<double> WindowsLocale::ParseDate(std::u16string_view text) const {
    // The function takes a NUL-terminated text: a NUL inside makes no date.
    if (text.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    std::wstring wide = win32::Wide(text);
    DATE date = 0;
    if (FAILED(VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &date))) {
        return std::nullopt;
    }
    return date;
}

}  // namespace trx
