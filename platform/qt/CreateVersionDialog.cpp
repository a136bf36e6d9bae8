#include "platform/qt/CreateVersionDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

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

}  // namespace

CreateVersionDialog::CreateVersionDialog(QWidget* parent)
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
