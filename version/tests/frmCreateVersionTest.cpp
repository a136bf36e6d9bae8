#include "version/frmCreateVersion.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/Text.h"
#include "tests/support/TempDir.h"
#include "version/tests/Fakes.h"

namespace trx::test {
namespace {

using F = CreateVersionField;

constexpr double kBase = 36068.0;

class FormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir_ / "program");
        WriteIni("[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n");
    }

    std::filesystem::path IniFile() const { return dir_ / "program" / "vxTRX.ini"; }
    std::u16string IniPath() const { return FromUtf8(IniFile().string()); }
    void WriteIni(const std::string& contents) const { WriteFile(IniFile(), contents); }

    // Loads the form as the dialog's start does.
    frmCreateVersion& Open() {
        form_ = std::make_unique<frmCreateVersion>(view_, IniPath(), clock_, locale_, box_);
        view_.Attach(*form_);
        EXPECT_TRUE(form_->Form_Load());
        return *form_;
    }

    void ExpectFields(const char* version, const char* build, const char* index,
                      const char* date) const {
        EXPECT_EQ(ToUtf8(view_.Text(F::Version)), version);
        EXPECT_EQ(ToUtf8(view_.Text(F::Build)), build);
        EXPECT_EQ(ToUtf8(view_.Text(F::BuildIndex)), index);
        EXPECT_EQ(ToUtf8(view_.Text(F::BuildDate)), date);
    }

    TempDir dir_;
    FixedClock clock_{Date(2024, 3, 1)};
    FakeLocale locale_{FakeLocale::Language::German, 2024};
    RecordingMessageBox box_;
    FakeView view_;
    std::unique_ptr<frmCreateVersion> form_;
};

TEST_F(FormTest, LoadingShowsTheRecordOfTheFile) {
    const frmCreateVersion& form = Open();
    ExpectFields("4.1", "7743", "2", "12.12.2019");
    // Each field's first fill wrote its value back unchanged.
    EXPECT_EQ(form.Record()->GetBuild(), 7743);
    EXPECT_EQ(form.Record()->GetBuildIndex(), 2);
    EXPECT_EQ(form.Record()->GetBuildDate(), kDec12th2019);
    for (F field : {F::Version, F::Build, F::BuildIndex, F::BuildDate}) {
        EXPECT_EQ(view_.changes[field], 1) << static_cast<int>(field);
    }
    EXPECT_EQ(ReadFile(IniFile()), "[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n");
}

TEST_F(FormTest, LoadingWithoutAFileShowsTodaysBuild) {
    std::filesystem::remove(IniFile());
    Open();
    ExpectFields("", "9284", "1", "01.03.2024");
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
}

TEST_F(FormTest, LoadingAnOverflowingBuildWarnsAndOpensNoDialog) {
    WriteIni("[Common]\nVersion=4.1\nBuild=3000000000.1\n");
    frmCreateVersion form(view_, IniPath(), clock_, locale_, box_);
    view_.Attach(form);

    EXPECT_FALSE(form.Show());

    EXPECT_EQ(view_.modalRuns, 0);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].title, u"Fehler");
    EXPECT_EQ(box_.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(box_.shown[0].text,
              u"'" + IniPath() + u"' konnte nicht gelesen werden: Überlauf (Fehler 6).");
}

TEST_F(FormTest, TypingABuildKeyByKeyMovesTheDate) {
    Open();
    view_.Replace(F::Build, u"");
    ExpectFields("4.1", "0", "2", "30.09.1998");  // an emptied build reads 0

    view_.Type(F::Build, u"7000");  // "07" turns into "7" and so on
    ExpectFields("4.1", "7000", "2", "29.11.2017");
    EXPECT_EQ(form_->Record()->GetBuild(), 7000);
}

TEST_F(FormTest, TheBuildFieldShowsTheNormalFormOfWhatWasRead) {
    struct Case {
        const char16_t* entered;
        const char* shown;
    };
    const Case cases[] = {
        {u"2.5", "2"},  // pasted in one step, rounded half to even
        {u"3.5", "4"},           {u"0042", "42"},
        {u"12x", "12"},  // characters after the number vanish
        {u"x12", "0"},   // no number reads as 0
        {u"-5", "-5"},           {u"&H10", "16"},
        {u"3000000000", "7743"},  // cannot be stored: the build stays
        {u"1e10", "7743"},
    };
    for (const Case& c : cases) {
        Open();
        view_.Replace(F::Build, c.entered);
        EXPECT_EQ(ToUtf8(view_.Text(F::Build)), c.shown) << ToUtf8(c.entered);
        EXPECT_EQ(ToUtf8(view_.Text(F::Build)), std::to_string(form_->Record()->GetBuild()));
        EXPECT_EQ(form_->Record()->GetBuildDate(), kBase + form_->Record()->GetBuild());
    }
}

TEST_F(FormTest, APeriodTypedIntoTheBuildVanishesAtOnce) {
    Open();
    view_.Replace(F::Build, u"2");
    view_.Type(F::Build, u".");
    EXPECT_EQ(ToUtf8(view_.Text(F::Build)), "2");
    view_.Type(F::Build, u"5");
    EXPECT_EQ(ToUtf8(view_.Text(F::Build)), "25");
}

TEST_F(FormTest, TheIndexFieldKeepsItsTextAsTyped) {
    struct Case {
        const char16_t* typed;
        std::int32_t index;
    };
    const Case cases[] = {
        {u"12x", 12},
        {u"2.5", 2},
        {u"", 0},
    };
    for (const Case& c : cases) {
        Open();
        view_.Replace(F::BuildIndex, u"");
        view_.Type(F::BuildIndex, c.typed);
        EXPECT_EQ(view_.Text(F::BuildIndex), c.typed);
        EXPECT_EQ(form_->Record()->GetBuildIndex(), c.index) << ToUtf8(c.typed);
        EXPECT_EQ(ToUtf8(view_.Text(F::Build)), "7743");
    }
}

TEST_F(FormTest, AnIndexOutOfRangeLeavesTheIndexAsItWas) {
    Open();
    view_.Replace(F::BuildIndex, u"7");
    view_.Replace(F::BuildIndex, u"99999999999");
    EXPECT_EQ(form_->Record()->GetBuildIndex(), 7);
    EXPECT_EQ(ToUtf8(view_.Text(F::BuildIndex)), "99999999999");
}

TEST_F(FormTest, AValidDateMovesTheBuild) {
    Open();
    view_.Replace(F::BuildDate, u"1.2.2019");
    ExpectFields("4.1", "7429", "2", "01.02.2019");
}

TEST_F(FormTest, ADateIsReplacedAsSoonAsItIsValid) {
    Open();
    view_.Replace(F::BuildDate, u"");
    view_.Type(F::BuildDate, u"1.");
    EXPECT_EQ(ToUtf8(view_.Text(F::BuildDate)), "1.");  // not yet a date
    view_.Type(F::BuildDate, u"2");
    // Day and month alone are a date of the current year.
    ExpectFields("4.1", std::to_string(static_cast<int>(Date(2024, 2, 1) - kBase)).c_str(), "2",
                 "01.02.2024");
}

TEST_F(FormTest, TextThatIsNoDateChangesNothing) {
    for (const char16_t* text : {u"", u"gestern", u"31.02.2019", u"12", u"1.2.x"}) {
        Open();
        view_.Replace(F::BuildDate, text);
        EXPECT_EQ(view_.Text(F::BuildDate), text);
        EXPECT_EQ(ToUtf8(view_.Text(F::Build)), "7743");
        EXPECT_EQ(form_->Record()->GetBuildDate(), kDec12th2019);
    }
}

TEST_F(FormTest, TheVersionIsTakenVerbatim) {
    Open();
    view_.Replace(F::Version, u"");
    view_.Type(F::Version, u" 4.2 rc ");
    EXPECT_EQ(form_->Record()->GetVersion(), u" 4.2 rc ");
    EXPECT_EQ(ToUtf8(view_.Text(F::Build)), "7743");
}

TEST_F(FormTest, CreateNewStartsABuildForTodayAndKeepsTheRest) {
    clock_.Set(kDec12th2019);
    WriteIni("[Common]\nVersion=4.0\nBuild=7000.5\n");
    Open();
    form_->btnNew_Click();
    ExpectFields("4.0", "7743", "5", "12.12.2019");
}

TEST_F(FormTest, SaveWritesVersionAndBuildAndCloses) {
    Open();
    view_.Replace(F::Version, u"4.2");
    view_.Replace(F::Build, u"7800");
    view_.Replace(F::BuildIndex, u"3");

    form_->btnSave_Click();

    EXPECT_TRUE(view_.closed);
    EXPECT_EQ(form_->Record(), nullptr);  // unloaded
    EXPECT_TRUE(box_.shown.empty());
    EXPECT_EQ(LfLineEnds(ReadFile(IniFile())),
              "[Common]\nVersion=4.2\nRequiredDBVersion=4010\nBuild=7800.3\n");
}

TEST_F(FormTest, ClosingWithoutSaveLeavesTheFile) {
    Open();
    view_.Replace(F::Version, u"4.2");
    form_->btnNew_Click();
    view_.Close();
    EXPECT_EQ(form_->Record(), nullptr);
    EXPECT_EQ(ReadFile(IniFile()), "[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n");
}

TEST_F(FormTest, AFailedSaveWarnsAndKeepsTheFormOpenWithItsEdits) {
    Open();
    view_.Replace(F::Version, u"4.2");
    // The program folder goes away behind the form's back and a file takes
    // its name; not even root can write a file into a file.
    std::filesystem::rename(dir_ / "program", dir_ / "moved");
    WriteFile(dir_ / "program", "");

    form_->btnSave_Click();

    EXPECT_FALSE(view_.closed);
    ASSERT_NE(form_->Record(), nullptr);
    EXPECT_EQ(form_->Record()->GetVersion(), u"4.2");
    EXPECT_EQ(ToUtf8(view_.Text(F::Version)), "4.2");
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, u"'" + IniPath() + u"' konnte nicht gespeichert werden.");
    EXPECT_EQ(box_.shown[0].title, u"Fehler");
    EXPECT_EQ(box_.shown[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir_ / "program"));
    EXPECT_EQ(ReadFile(dir_ / "moved" / "vxTRX.ini"),
              "[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n");

    // With the folder back, trying again saves and closes.
    std::filesystem::remove(dir_ / "program");
    std::filesystem::rename(dir_ / "moved", dir_ / "program");
    form_->btnSave_Click();
    EXPECT_TRUE(view_.closed);
    EXPECT_EQ(LfLineEnds(ReadFile(IniFile())),
              "[Common]\nVersion=4.2\nRequiredDBVersion=4010\nBuild=7743.2\n");
}

TEST_F(FormTest, ShowRunsTheDialogAndUnloadsAfterwards) {
    frmCreateVersion form(view_, IniPath(), clock_, locale_, box_);
    view_.Attach(form);
    EXPECT_TRUE(form.Show());
    EXPECT_EQ(view_.modalRuns, 1);
    EXPECT_EQ(form.Record(), nullptr);
    ExpectFields("4.1", "7743", "2", "12.12.2019");
}

}  // namespace
}  // namespace trx::test
