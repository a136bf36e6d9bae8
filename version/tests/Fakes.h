#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AutomationDate.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/MessageBox.h"
#include "version/CreateVersionView.h"

namespace trx::test {

// A clock that always tells the same day.
// A file's text with CR LF line ends read as LF: the profile functions of
// Windows write CR LF, those of Linux keep LF.
inline std::string LfLineEnds(std::string text) {
    std::erase(text, '\r');
    return text;
}

class FixedClock : public Clock {
  public:
    explicit FixedClock(double today) : today_(today) {}
    double Today() const override { return today_; }
    void Set(double today) { today_ = today; }

  private:
    double today_;
};

// 12.12.2019, build 7743.
inline constexpr double kDec12th2019 = 43811.0;

double Date(int year, int month, int day);

// A German or US English locale, just enough for the version server: short
// dates with four-digit years, month names, and numeric dates of two or three
// parts (two parts take the year given at construction).
class FakeLocale : public Locale {
  public:
    enum class Language { German, English };
    explicit FakeLocale(Language language, int currentYear = 2019)
        : language_(language), currentYear_(currentYear) {}

    std::u16string FormatShortDate(double date) const override;
    std::u16string LongMonthName(int month) const override;
    std::optional<double> ParseDate(std::u16string_view text) const override;

  private:
    Language language_;
    int currentYear_;
};

// Records every box instead of showing it.
class RecordingMessageBox : public MessageBox {
  public:
    struct Shown {
        std::u16string text;
        MessageIcon icon;
        std::u16string title;
    };
    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override {
        shown.push_back({std::u16string(text), icon, std::u16string(title)});
    }
    std::vector<Shown> shown;
};

// Four text boxes that raise their change events as a dialog's would: on
// every change of text, typed or set, and never for the text they hold.
class FakeView : public CreateVersionView {
  public:
    void Attach(CreateVersionEvents& events) { events_ = &events; }

    std::u16string Text(CreateVersionField field) const override { return texts_.at(field); }
    void SetText(CreateVersionField field, std::u16string_view text) override;
    void ShowModal() override { ++modalRuns; }
    void Close() override;

    // The person types one character after another at the end of the text.
    void Type(CreateVersionField field, std::u16string_view characters);
    // The person replaces the whole text at once (pasting, or emptying with a delete).
    void Replace(CreateVersionField field, std::u16string_view text) { SetText(field, text); }

    // How often each field's text was set, for tests that the redisplays come to rest.
    std::map<CreateVersionField, int> changes;
    int modalRuns = 0;
    bool closed = false;

  private:
    CreateVersionEvents* events_ = nullptr;
    std::map<CreateVersionField, std::u16string> texts_ = {{CreateVersionField::Version, u""},
                                                           {CreateVersionField::Build, u""},
                                                           {CreateVersionField::BuildIndex, u""},
                                                           {CreateVersionField::BuildDate, u""}};
};

}  // namespace trx::test
