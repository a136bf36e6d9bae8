#include "version/qt/CreateVersionDialog.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/Text.h"
#include "platform/qt/QtLocale.h"
#include "platform/qt/QtText.h"
#include "tests/support/TempDir.h"
#include "version/frmCreateVersion.h"
#include "version/tests/Fakes.h"

namespace trx::test {
namespace {

const std::string kRecord = "[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n";

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir_ / "vxTRX.ini", kRecord);
        dialog_.Attach(form_);
        ASSERT_TRUE(form_.Form_Load());
        dialog_.show();
        dialog_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    }

    template <typename T>
    T* Control(const char* name) {
        T* control = dialog_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QLineEdit* Box(const char* name) { return Control<QLineEdit>(name); }
    std::string TextOf(const char* name) { return Box(name)->text().toStdString(); }
    std::string Ini() const { return ReadFile(dir_ / "vxTRX.ini"); }

    // Types into a box over its whole text, as after a triple click.
    void TypeOver(const char* name, const char* text) {
        QLineEdit* box = Box(name);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromUtf8(text));
    }

    TempDir dir_;
    FixedClock clock_{kDec12th2019};
    FakeLocale locale_{FakeLocale::Language::German};
    RecordingMessageBox box_;
    CreateVersionDialog dialog_;
    frmCreateVersion form_{dialog_, FromUtf8((dir_ / "vxTRX.ini").string()), clock_, locale_, box_};
};

TEST_F(DialogTest, HasAFixedClientAreaAndNoMinimizeOrMaximizeBox) {
    EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("Create Version"));
    EXPECT_EQ(dialog_.size(), QSize(312, 171));
    EXPECT_EQ(dialog_.minimumSize(), QSize(312, 171));
    EXPECT_EQ(dialog_.maximumSize(), QSize(312, 171));
    const Qt::WindowFlags flags = dialog_.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
    EXPECT_EQ(dialog_.parentWidget(), nullptr);
}

TEST_F(DialogTest, PlacesEveryControlAsLaidOut) {
    struct Case {
        const char* name;
        const char* caption;  // null for text boxes
        QRect geometry;
    };
    const Case cases[] = {
        {"Label1", "Version:", {8, 16, 73, 17}},     {"txtVersion", nullptr, {88, 12, 81, 23}},
        {"Label2", "Build:", {8, 52, 73, 17}},       {"txtBuild", nullptr, {88, 48, 57, 23}},
        {"Label3", "Index:", {8, 76, 73, 17}},       {"txtBuildIndex", nullptr, {88, 72, 25, 23}},
        {"Label4", "Build Date:", {8, 108, 73, 17}}, {"txtBuildDate", nullptr, {88, 104, 65, 23}},
        {"btnNew", "Create New", {208, 16, 89, 29}}, {"btnSave", "Save", {208, 56, 89, 29}},
    };
    for (const Case& c : cases) {
        QWidget* control = Control<QWidget>(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), c.geometry) << c.name;
        EXPECT_TRUE(control->isVisible() && control->isEnabled()) << c.name;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            EXPECT_EQ(label->text().toStdString(), c.caption);
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << c.name;
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            EXPECT_EQ(button->text().toStdString(), c.caption);
            EXPECT_FALSE(button->isDefault()) << c.name;
            EXPECT_FALSE(button->autoDefault()) << c.name;
        } else {
            auto* box = qobject_cast<QLineEdit*>(control);
            ASSERT_NE(box, nullptr) << c.name;
            EXPECT_FALSE(box->isReadOnly()) << c.name;
            EXPECT_EQ(box->maxLength(), std::numeric_limits<int>::max()) << c.name;
        }
    }
}

TEST_F(DialogTest, TabVisitsTheControlsInTheirOrderStartingInTheVersion) {
    const char* const order[] = {"txtVersion", "txtBuild", "txtBuildIndex", "txtBuildDate",
                                 "btnNew",     "btnSave",  "txtVersion"};
    EXPECT_EQ(QApplication::focusWidget(), Box("txtVersion"));
    for (const char* name : order) {
        EXPECT_EQ(QApplication::focusWidget(), Control<QWidget>(name)) << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(DialogTest, EnterAndEscapeDoNothing) {
    for (const char* name : {"txtVersion", "txtBuildDate", "btnNew", "btnSave"}) {
        QWidget* control = Control<QWidget>(name);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClick(control, Qt::Key_Enter);
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_TRUE(dialog_.isVisible()) << name;
    }
    EXPECT_EQ(Ini(), kRecord);
    EXPECT_EQ(TextOf("txtBuild"), "7743");  // "Create New" was not pressed either
    ASSERT_NE(form_.Record(), nullptr);
}

TEST_F(DialogTest, TypingIntoTheFieldsGoesIntoTheRecord) {
    EXPECT_EQ(TextOf("txtVersion"), "4.1");
    EXPECT_EQ(TextOf("txtBuildDate"), "12.12.2019");

    TypeOver("txtBuild", "7000");
    EXPECT_EQ(TextOf("txtBuild"), "7000");
    EXPECT_EQ(TextOf("txtBuildDate"), "29.11.2017");

    TypeOver("txtBuildIndex", "12x");
    EXPECT_EQ(TextOf("txtBuildIndex"), "12x");
    EXPECT_EQ(form_.Record()->GetBuildIndex(), 12);

    TypeOver("txtBuildDate", "1.2.2019");
    EXPECT_EQ(TextOf("txtBuild"), "7429");

    TypeOver("txtVersion", "4.2");
    EXPECT_EQ(form_.Record()->GetVersion(), u"4.2");
}

TEST_F(DialogTest, SaveWritesTheFileAndCloses) {
    TypeOver("txtVersion", "4.2");
    TypeOver("txtBuildIndex", "3");
    QTest::mouseClick(Control<QPushButton>("btnSave"), Qt::LeftButton);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(form_.Record(), nullptr);
    EXPECT_EQ(Ini(), "[Common]\nVersion=4.2\nRequiredDBVersion=4010\nBuild=7743.3\n");
}

TEST_F(DialogTest, CreateNewTakesToday) {
    clock_.Set(kDec12th2019 + 10);
    QTest::mouseClick(Control<QPushButton>("btnNew"), Qt::LeftButton);
    EXPECT_EQ(TextOf("txtBuild"), "7753");
    EXPECT_EQ(TextOf("txtBuildDate"), "22.12.2019");
}

TEST_F(DialogTest, TheCloseBoxClosesWithoutSaving) {
    TypeOver("txtVersion", "4.2");
    dialog_.close();
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(form_.Record(), nullptr);
    EXPECT_EQ(Ini(), kRecord);
}

TEST_F(DialogTest, SavesAPictureOfTheDialog) {
    const QPixmap picture = dialog_.grab();
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), QSize(312, 171));
    // Into the build folder; refresh-docs-picture copies it into docs/.
    EXPECT_TRUE(picture.save(QStringLiteral(TRX_PICTURE_DIR "/create-version.png"), "PNG"));
}

// The width in which a line edit shows a text unscrolled, from the style
// option it paints with: its contents less two pixels on either side.
int InnerWidth(const QLineEdit& box) {
    struct Access : QLineEdit {
        using QLineEdit::initStyleOption;
    };
    QStyleOptionFrame option;
    (box.*&Access::initStyleOption)(&option);
    return box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box).width() - 4;
}

// The layout gives the date box 65 pixels; in the dialog's font every date
// from the first build on fits it whole, with room for the caret, so no digit
// scrolls out of sight ("2.12.2019" for 12.12.2019).
TEST(DialogFontTest, EveryDateFitsTheDateBoxWhole) {
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        CreateVersionDialog dialog(locale);
        const auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("txtBuildDate"));
        ASSERT_EQ(box->geometry(), QRect(88, 104, 65, 23));
        const QFontMetrics metrics(box->font());
        const int room = InnerWidth(*box);
        const QString format = QtLocale::ShortDateFormat(locale);
        for (QDate day(1998, 9, 30); day.year() < 2100; day = day.addDays(1)) {
            const QString text = locale.toString(day, format);
            ASSERT_LE(metrics.horizontalAdvance(text) + 1, room)
                << text.toStdString() << " in " << box->font().toString().toStdString();
        }
    }
}

// With the platform's own locale the redisplays come to rest on its short
// format, and a date counts as soon as it is one, while it is being typed.
TEST(DialogLocaleTest, ShowsAndReadsDatesInTheLocalesShortFormat) {
    struct Case {
        QLocale locale;
        const char* shown;
        const char* typed;
        const char* shownAfterTyping;
    };
    const Case cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), "12.12.2019", "1.2", "01.02.2019"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "12/12/2019", "2/1", "2/1/2019"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "vxTRX.ini", kRecord);
        const FixedClock clock(kDec12th2019);
        const QtLocale locale(c.locale, clock);
        RecordingMessageBox box;
        CreateVersionDialog dialog;
        frmCreateVersion form(dialog, FromUtf8((dir / "vxTRX.ini").string()), clock, locale, box);
        dialog.Attach(form);
        ASSERT_TRUE(form.Form_Load());
        auto* date = dialog.findChild<QLineEdit*>(QStringLiteral("txtBuildDate"));
        auto* build = dialog.findChild<QLineEdit*>(QStringLiteral("txtBuild"));
        EXPECT_EQ(date->text().toStdString(), c.shown);

        date->selectAll();
        QTest::keyClicks(date, QString::fromLatin1(c.typed));
        EXPECT_EQ(date->text().toStdString(), c.shownAfterTyping) << c.typed;
        EXPECT_EQ(build->text().toStdString(), "7429") << c.typed;
    }
}

TEST(DialogModalTest, ShowRunsModallyUntilSaved) {
    TempDir dir;
    WriteFile(dir / "vxTRX.ini", kRecord);
    const FixedClock clock(kDec12th2019);
    const FakeLocale locale(FakeLocale::Language::German);
    RecordingMessageBox box;
    CreateVersionDialog dialog;
    frmCreateVersion form(dialog, FromUtf8((dir / "vxTRX.ini").string()), clock, locale, box);
    dialog.Attach(form);

    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(dialog.isModal());
        dialog.findChild<QLineEdit*>(QStringLiteral("txtBuildIndex"))->setText(QStringLiteral("4"));
        dialog.findChild<QPushButton*>(QStringLiteral("btnSave"))->click();
    });
    // Should the click go wrong, the dialog still ends instead of hanging the test.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &dialog, [&] {
        ADD_FAILURE() << "the dialog did not close";
        dialog.close();
    });
    deadline.start(30000);

    EXPECT_TRUE(form.Show());
    EXPECT_EQ(ReadFile(dir / "vxTRX.ini"),
              "[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.4\n");
}

}  // namespace
}  // namespace trx::test
