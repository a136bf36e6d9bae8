#include "version/qt/CreateVersionDialog.h"

#include <QDate>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <limits>

#include "platform/qt/QtLocale.h"
#include "platform/qt/QtText.h"

namespace trx {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFocusPolicy(Qt::NoFocus);
    // Captions carry no access keys.
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, QRect geometry) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    // As long a text as the box can hold.
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    // Neither button answers Enter on the dialog's behalf.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The width in which a line edit shows a text whole, unscrolled: the style's
// contents rectangle less the text margins, the two pixels that the line edit
// keeps free on either side, and one pixel for the caret after the text.
int TextRoom(const QLineEdit& box) {
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.rect();
    option.lineWidth =
        box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = box.style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, &box)
                               .marginsRemoved(box.textMargins());
    return contents.width() - 2 * 2 - 1;
}

// The dates whose short form is widest: every day of a leap year (each day
// and month number or name), and the 28 December of every year from the
// first build (1998) on, for fonts whose digits differ in width.
QStringList CandidateDates(const QLocale& locale) {
    const QString format = QtLocale::ShortDateFormat(locale);
    QStringList dates;
    for (QDate day(2000, 1, 1); day.year() == 2000; day = day.addDays(1)) {
        dates << locale.toString(day, format);
    }
    for (int year = 1998; year <= 2099; ++year) {
        dates << locale.toString(QDate(year, 12, 28), format);
    }
    return dates;
}

int WidestText(const QStringList& texts, const QFont& font) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& text : texts) {
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    return widest + std::max(0, -metrics.minLeftBearing()) +
           std::max(0, -metrics.minRightBearing());
}

constexpr qreal kSmallestPointSize = 6;

}  // namespace

CreateVersionDialog::CreateVersionDialog(QWidget* parent)
    : CreateVersionDialog(QLocale::system(), parent) {}

CreateVersionDialog::CreateVersionDialog(const QLocale& dates, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmCreateVersion"));
    setWindowTitle(QStringLiteral("Create Version"));
    setFixedSize(312, 171);
    setSizeGripEnabled(false);

    // Created in tab order; labels take no focus.
    MakeLabel(this, "Label1", QStringLiteral("Version:"), QRect(8, 16, 73, 17));
    txtVersion_ = MakeTextBox(this, "txtVersion", QRect(88, 12, 81, 23));
    MakeLabel(this, "Label2", QStringLiteral("Build:"), QRect(8, 52, 73, 17));
    txtBuild_ = MakeTextBox(this, "txtBuild", QRect(88, 48, 57, 23));
    MakeLabel(this, "Label3", QStringLiteral("Index:"), QRect(8, 76, 73, 17));
    txtBuildIndex_ = MakeTextBox(this, "txtBuildIndex", QRect(88, 72, 25, 23));
    MakeLabel(this, "Label4", QStringLiteral("Build Date:"), QRect(8, 108, 73, 17));
    txtBuildDate_ = MakeTextBox(this, "txtBuildDate", QRect(88, 104, 65, 23));
    btnNew_ = MakeButton(this, "btnNew", QStringLiteral("Create New"), QRect(208, 16, 89, 29));
    btnSave_ = MakeButton(this, "btnSave", QStringLiteral("Save"), QRect(208, 56, 89, 29));

    FitFontToDates(dates);

    setTabOrder(txtVersion_, txtBuild_);
    setTabOrder(txtBuild_, txtBuildIndex_);
    setTabOrder(txtBuildIndex_, txtBuildDate_);
    setTabOrder(txtBuildDate_, btnNew_);
    setTabOrder(btnNew_, btnSave_);
    txtVersion_->setFocus();

    // textChanged fires for typed and for programmatic changes, but not when a
    // text is set to what the box already holds: the form's redisplays rely
    // on that to come to rest.
    connect(txtVersion_, &QLineEdit::textChanged, this, [this] {
        if (events_)
            events_->txtVersion_Change();
    });
    connect(txtBuild_, &QLineEdit::textChanged, this, [this] {
        if (events_)
            events_->txtBuild_Change();
    });
    connect(txtBuildIndex_, &QLineEdit::textChanged, this, [this] {
        if (events_)
            events_->txtBuildIndex_Change();
    });
    connect(txtBuildDate_, &QLineEdit::textChanged, this, [this] {
        if (events_)
            events_->txtBuildDate_Change();
    });
    connect(btnNew_, &QPushButton::clicked, this, [this] {
        if (events_)
            events_->btnNew_Click();
    });
    connect(btnSave_, &QPushButton::clicked, this, [this] {
        if (events_)
            events_->btnSave_Click();
    });
}

// The layout, in pixels, was drawn for a smaller dialog font than today's
// desktops use; in theirs the first digits of a date scroll out of the date
// box, and the person reads a wrong date. The dialog takes the largest size of
// the platform's font, at most its own, at which the widest date fits.
void CreateVersionDialog::FitFontToDates(const QLocale& dates) {
    const QStringList candidates = CandidateDates(dates);
    const int room = TextRoom(*txtBuildDate_);
    QFont font = txtBuildDate_->font();
    qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    font.setPointSizeF(size);
    while (size > kSmallestPointSize && WidestText(candidates, font) > room) {
        size = std::max(kSmallestPointSize, size - 0.5);
        font.setPointSizeF(size);
    }
    setFont(font);
    // Explicitly on every control: a platform may give classes fonts of their own.
    for (QWidget* control : findChildren<QWidget*>()) {
        control->setFont(font);
    }
}

QLineEdit* CreateVersionDialog::Field(CreateVersionField field) const {
    switch (field) {
        case CreateVersionField::Version:
            return txtVersion_;
        case CreateVersionField::Build:
            return txtBuild_;
        case CreateVersionField::BuildIndex:
            return txtBuildIndex_;
        case CreateVersionField::BuildDate:
            return txtBuildDate_;
    }
    return txtVersion_;
}

std::u16string CreateVersionDialog::Text(CreateVersionField field) const {
    return FromQString(Field(field)->text());
}

void CreateVersionDialog::SetText(CreateVersionField field, std::u16string_view text) {
    // Setting the same text again would only move the caret of the box that
    // is being typed into.
    QLineEdit* box = Field(field);
    const QString value = ToQString(text);
    if (box->text() != value) {
        box->setText(value);
    }
}

void CreateVersionDialog::ShowModal() {
    setWindowModality(Qt::ApplicationModal);
    exec();
}

void CreateVersionDialog::Close() {
    done(QDialog::Accepted);
}

void CreateVersionDialog::done(int result) {
    QDialog::done(result);
    if (events_) {
        events_->Form_Unload();
    }
}

void CreateVersionDialog::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog and Enter would press a default button;
    // the dialog has neither a cancel nor a default button.
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace trx
