#pragma once

#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/MessageBox.h"
#include "version/CreateVersionView.h"
#include "version/Version.h"

namespace trx {

// The create-version form: shows the version record of vxTRX.ini in four
// fields, writes every edit into its own Version object at once and saves the
// record on request. The fields mirror the object; the only exceptions are the
// build index as typed and an invalid date left in the date field.
class frmCreateVersion : public CreateVersionEvents {
  public:
    frmCreateVersion(CreateVersionView& view, std::u16string iniPath, const Clock& clock,
                     const Locale& locale, MessageBox& messageBox);

    // Loads the form, shows it modally and returns when it has been closed.
    // False when the record could not be loaded: a warning was shown instead
    // and the dialog never opened.
    bool Show();

    // Creates the form's Version object and fills the fields; false (after a
    // warning) when the object cannot be created.
    bool Form_Load();
    void Form_Unload() override;

    void btnNew_Click() override;
    void btnSave_Click() override;
    void txtVersion_Change() override;
    void txtBuild_Change() override;
    void txtBuildIndex_Change() override;
    void txtBuildDate_Change() override;

    // Sets the fields from the Version object, reading each property just
    // before its field is set.
    void ShowData();

    // The form's record while it is loaded, else null.
    const Version* Record() const { return version_.get(); }

  private:
    CreateVersionView& view_;
    std::u16string iniPath_;
    const Clock& clock_;
    const Locale& locale_;
    MessageBox& messageBox_;
    std::unique_ptr<Version> version_;
};

}  // namespace trx
