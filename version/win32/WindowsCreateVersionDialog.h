#pragma once

#include "platform/win32/Win32.h"

#include "platform/Locale.h"
#include "version/CreateVersionView.h"

namespace trx {

// The create-version dialog on Win32: a fixed dialog frame with a close box,
// a client area of 4680 x 2565 twips, four labelled text boxes and the
// buttons "Create New" and "Save" at their places of the layout (twips
// scaled with the DPI: 15 twips a pixel at 96 DPI), in the platform's default
// dialog font, made smaller where the widest date of `dates` would not fit
// the date box whole. It holds no logic: text changes (EN_CHANGE), clicks
// and its closing go to the form's events.
class WindowsCreateVersionDialog final : public AttachableCreateVersionView {
  public:
    // Creates the dialog hidden; Created() tells whether the system made it.
    WindowsCreateVersionDialog(HINSTANCE instance, const Locale& dates);
    ~WindowsCreateVersionDialog() override;
    WindowsCreateVersionDialog(const WindowsCreateVersionDialog&) = delete;
    WindowsCreateVersionDialog& operator=(const WindowsCreateVersionDialog&) = delete;

    bool Created() const { return dialog_ != nullptr; }

    void Attach(CreateVersionEvents& events) override { events_ = &events; }
    std::u16string Text(CreateVersionField field) const override;
    void SetText(CreateVersionField field, std::u16string_view text) override;
    // Shows the dialog without an owner and runs its messages until it is
    // closed. Enter and Escape never reach it: it has neither a default nor
    // a cancel button.
    void ShowModal() override;
    void Close() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void FitFontToDates();
    void Command(int id, int code);
    HWND Field(CreateVersionField field) const;

    const Locale& dates_;
    HWND dialog_ = nullptr;
    HFONT fittedFont_ = nullptr;
    HWND fields_[4] = {};
    CreateVersionEvents* events_ = nullptr;
    bool open_ = false;
};

}  // namespace trx
