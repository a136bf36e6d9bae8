#pragma once

#include <QDialog>
#include <QLocale>

#include "version/CreateVersionView.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace trx {

// The create-version dialog: a fixed 312 x 171 pixel client area with four
// labelled text boxes and the buttons "Create New" and "Save". It holds no
// logic; it passes clicks, text changes and its closing to the form's events.
class CreateVersionDialog : public QDialog, public AttachableCreateVersionView {
    Q_OBJECT

  public:
    // Dates in the short format of the user's session.
    explicit CreateVersionDialog(QWidget* parent = nullptr);
    // Dates in the short format of `dates`, the locale the form formats with.
    explicit CreateVersionDialog(const QLocale& dates, QWidget* parent = nullptr);

    void Attach(CreateVersionEvents& events) override { events_ = &events; }

    std::u16string Text(CreateVersionField field) const override;
    void SetText(CreateVersionField field, std::u16string_view text) override;
    void ShowModal() override;
    void Close() override;

    // Every way of closing (Close, the close box) passes here.
    void done(int result) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QLineEdit* Field(CreateVersionField field) const;
    void FitFontToDates(const QLocale& dates);

    CreateVersionEvents* events_ = nullptr;
    QLineEdit* txtVersion_;
    QLineEdit* txtBuild_;
    QLineEdit* txtBuildIndex_;
    QLineEdit* txtBuildDate_;
    QPushButton* btnNew_;
    QPushButton* btnSave_;
};

}  // namespace trx
