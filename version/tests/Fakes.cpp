#include "version/tests/Fakes.h"

#include <stdexcept>

#include "common/Text.h"

namespace trx::test {

namespace {

std::u16string TwoDigits(int value) {
    const std::string text = (value < 10 ? "0" : "") + std::to_string(value);
    return FromUtf8(text);
}

std::u16string FourDigits(int value) {
    std::string text = std::to_string(value);
    text.insert(0, text.size() < 4 ? 4 - text.size() : 0, '0');
    return FromUtf8(text);
}

}  // namespace

double Date(int year, int month, int day) {
    const std::optional<double> date = ToAutomationDate({year, month, day, 0, 0, 0});
    if (!date) {
        throw std::invalid_argument("no such date");
    }
    return *date;
}

std::u16string FakeLocale::FormatShortDate(double date) const {
    const std::optional<CalendarDateTime> value = FromAutomationDate(date);
    if (!value) {
        return u"";
    }
    if (language_ == Language::German) {
        return TwoDigits(value->day) + u"." + TwoDigits(value->month) + u"." +
               FourDigits(value->year);
    }
    return FromUtf8(std::to_string(value->month)) + u"/" + FromUtf8(std::to_string(value->day)) +
           u"/" + FourDigits(value->year);
}

std::u16string FakeLocale::LongMonthName(int month) const {
    static const char* const german[] = {"Januar",    "Februar", "März",     "April",
                                         "Mai",       "Juni",    "Juli",     "August",
                                         "September", "Oktober", "November", "Dezember"};
    static const char* const english[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    if (month < 1 || month > 12) {
        return u"";
    }
    return FromUtf8(language_ == Language::German ? german[month - 1] : english[month - 1]);
}

std::optional<double> FakeLocale::ParseDate(std::u16string_view text) const {
    const char16_t separator = language_ == Language::German ? u'.' : u'/';
    std::vector<int> parts;
    std::vector<std::size_t> lengths;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        const std::u16string_view part = text.substr(start, end - start);
        if (part.empty() || part.size() > 4) {
            return std::nullopt;
        }
        int value = 0;
        for (char16_t c : part) {
            if (c < u'0' || c > u'9') {
                return std::nullopt;
            }
            value = value * 10 + (c - u'0');
        }
        parts.push_back(value);
        lengths.push_back(part.size());
        if (end == text.size()) {
            break;
        }
        start = end + 1;
    }
    if (parts.size() < 2 || parts.size() > 3) {
        return std::nullopt;
    }
    int year = currentYear_;
    if (parts.size() == 3) {
        year = parts[2];
        if (lengths[2] <= 2) {
            year += year < 50 ? 2000 : 1900;
        }
    }
    const int day = language_ == Language::German ? parts[0] : parts[1];
    const int month = language_ == Language::German ? parts[1] : parts[0];
    return ToAutomationDate({year, month, day, 0, 0, 0});
}

void FakeView::SetText(CreateVersionField field, std::u16string_view text) {
    if (texts_.at(field) == text) {
        return;
    }
    texts_[field] = std::u16string(text);
    ++changes[field];
    if (events_ == nullptr) {
        return;
    }
    switch (field) {
        case CreateVersionField::Version:
            events_->txtVersion_Change();
            break;
        case CreateVersionField::Build:
            events_->txtBuild_Change();
            break;
        case CreateVersionField::BuildIndex:
            events_->txtBuildIndex_Change();
            break;
        case CreateVersionField::BuildDate:
            events_->txtBuildDate_Change();
            break;
    }
}

void FakeView::Close() {
    closed = true;
    if (events_ != nullptr) {
        events_->Form_Unload();
    }
}

void FakeView::Type(CreateVersionField field, std::u16string_view characters) {
    for (char16_t c : characters) {
        SetText(field, Text(field) + c);
    }
}

}  // namespace trx::test
