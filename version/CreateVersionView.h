#pragma once

#include <string>
#include <string_view>

namespace trx {

// The four text boxes of the create-version dialog.
enum class CreateVersionField { Version, Build, BuildIndex, BuildDate };

// What the create-version dialog does when something happens on it. The
// dialog raises a field's change event whenever the field's text changes,
// typed or set through SetText, and never when a text is set to what the
// field already holds.
class CreateVersionEvents {
  public:
    virtual ~CreateVersionEvents() = default;
    virtual void btnNew_Click() = 0;
    virtual void btnSave_Click() = 0;
    virtual void txtVersion_Change() = 0;
    virtual void txtBuild_Change() = 0;
    virtual void txtBuildIndex_Change() = 0;
    virtual void txtBuildDate_Change() = 0;
    // The window has gone, by Close or by its close box.
    virtual void Form_Unload() = 0;
};

// The create-version dialog as its form's logic sees it.
class CreateVersionView {
  public:
    virtual ~CreateVersionView() = default;
    virtual std::u16string Text(CreateVersionField field) const = 0;
    virtual void SetText(CreateVersionField field, std::u16string_view text) = 0;
    // Shows the dialog modally, without an owner, until it is closed.
    virtual void ShowModal() = 0;
    // Closes the dialog; it then raises Form_Unload.
    virtual void Close() = 0;
};

// The dialog as the graphical module hands it out: made before its form, it
// learns the form's events afterwards.
class AttachableCreateVersionView : public CreateVersionView {
  public:
    // The events go to this receiver from now on; it must outlive the
    // dialog's last event.
    virtual void Attach(CreateVersionEvents& events) = 0;
};

// The graphical module's entry point that makes the dialog, with dates in the
// short format of the user's session; the caller deletes it before the
// toolkit ends.
inline constexpr char kCreateVersionDialogEntry[] = "trx_gui_create_version_dialog";
using CreateVersionDialogFunction = AttachableCreateVersionView*();

}  // namespace trx
