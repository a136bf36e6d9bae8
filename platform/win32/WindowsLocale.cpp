#include "platform/win32/WindowsLocale.h"

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include "common/AutomationDate.h"
#include "common/DateRecognition.h"
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

std::u16string WindowsLocale::ShortDateFormat() const {
    if (shortDateFormat_) {
        return *shortDateFormat_;
    }
    wchar_t format[80] = {};
    const int got = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, format,
                                    static_cast<int>(std::size(format)));
    return got > 1 ? win32::FromWide(std::wstring_view(format, static_cast<std::size_t>(got - 1)))
                   : std::u16string();
}

std::u16string WindowsLocale::FormatShortDate(double date) const {
    OwnedBstr text;
    if (FAILED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, text.Out()))) {
        return {};
    }
    const std::u16string format = ShortDateFormat();
    const std::u16string fourDigits = WithFourDigitYear(format);
    SYSTEMTIME day{};
    if (fourDigits == format || !VariantTimeToSystemTime(DatePart(date), &day)) {
        return text.Text();
    }
    const std::wstring picture = win32::Wide(fourDigits);
    wchar_t written[128] = {};
    const int got = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &day, picture.c_str(), written,
                                    static_cast<int>(std::size(written)), nullptr);
    if (got <= 1) {
        return text.Text();
    }
    std::u16string result =
        win32::FromWide(std::wstring_view(written, static_cast<std::size_t>(got - 1)));
    if (date != DatePart(date)) {
        OwnedBstr time;
        if (SUCCEEDED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, VAR_TIMEVALUEONLY, time.Out()))) {
            result += u' ';
            result += time.Text();
        }
    }
    return result;
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
