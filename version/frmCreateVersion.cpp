#include "version/frmCreateVersion.h"

#include "common/AutomationDate.h"
#include "common/AutomationError.h"
#include "common/Number.h"

namespace trx {

frmCreateVersion::frmCreateVersion(CreateVersionView& view, std::u16string iniPath,
                                   const Clock& clock, const Locale& locale, MessageBox& messageBox)
    : view_(view),
      iniPath_(std::move(iniPath)),
      clock_(clock),
      locale_(locale),
      messageBox_(messageBox) {}

bool frmCreateVersion::Show() {
    if (!Form_Load()) {
        return false;
    }
    view_.ShowModal();
    Form_Unload();
    return true;
}

bool frmCreateVersion::Form_Load() {
    try {
        version_ = std::make_unique<Version>(iniPath_, clock_);
    } catch (const AutomationError& error) {
        messageBox_.Show(LoadFailureText(iniPath_, error), MessageIcon::Warning, u"Fehler");
        return false;
    }
    // Every field starts empty, so each one's reaction runs once and writes
    // its value back unchanged.
    ShowData();
    return true;
}

void frmCreateVersion::Form_Unload() {
    version_.reset();
}

void frmCreateVersion::ShowData() {
    if (!version_) {
        return;
    }
    view_.SetText(CreateVersionField::Version, version_->GetVersion());
    view_.SetText(CreateVersionField::Build, Decimal(version_->GetBuild()));
    view_.SetText(CreateVersionField::BuildIndex, Decimal(version_->GetBuildIndex()));
    view_.SetText(CreateVersionField::BuildDate, locale_.FormatShortDate(version_->GetBuildDate()));
}

void frmCreateVersion::btnNew_Click() {
    if (!version_) {
        return;
    }
    version_->PutBuildDate(DatePart(clock_.Today()));
    ShowData();
}

void frmCreateVersion::btnSave_Click() {
    if (!version_) {
        return;
    }
    // A record that did not reach the file must not look saved: the form
    // stays open with its edits, so the person can try again or close it.
    // The message names the file that could not be written: where vxTRX.ini
    // is a link, the file it points to.
    FileFailure failure;
    if (!version_->Save(&failure)) {
        std::u16string text = u"'" + failure.file + u"' konnte nicht gespeichert werden.";
        if (const std::u16string reason = FailureReason(failure); !reason.empty()) {
            text += u'\n';
            text += reason;
        }
        messageBox_.Show(text, MessageIcon::Warning, u"Fehler");
        return;
    }
    view_.Close();
}

void frmCreateVersion::txtVersion_Change() {
    if (!version_) {
        return;
    }
    version_->PutVersion(view_.Text(CreateVersionField::Version));
}

void frmCreateVersion::txtBuild_Change() {
    if (!version_) {
        return;
    }
    // A number outside the 32-bit range leaves the build as it was; the
    // redisplay then shows the build the object holds.
    try {
        version_->PutBuild(ToInt32(ReadNumber(view_.Text(CreateVersionField::Build))));
    } catch (const AutomationError&) {
    }
    ShowData();
}

void frmCreateVersion::txtBuildIndex_Change() {
    if (!version_) {
        return;
    }
    // The field keeps the text as typed, also when the number cannot be stored.
    try {
        version_->PutBuildIndex(ToInt32(ReadNumber(view_.Text(CreateVersionField::BuildIndex))));
    } catch (const AutomationError&) {
    }
}

void frmCreateVersion::txtBuildDate_Change() {
    if (!version_) {
        return;
    }
    const std::optional<double> date = locale_.ParseDate(view_.Text(CreateVersionField::BuildDate));
    if (!date) {
        return;
    }
    version_->PutBuildDate(DatePart(*date));
    ShowData();
}

}  // namespace trx
