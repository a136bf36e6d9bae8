#include "platform/win32/WindowsMessageBox.h"

#include "platform/win32/Win32.h"

#include "platform/win32/WideText.h"

namespace trx {

namespace {

UINT IconStyle(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Warning:
            return MB_ICONWARNING;
        case MessageIcon::Information:
            return MB_ICONINFORMATION;
        case MessageIcon::None:
            break;
    }
    return 0;
}

}  // namespace

void WindowsMessageBox::Show(std::u16string_view text, MessageIcon icon,
                             std::u16string_view title) {
    // MessageBoxW takes NUL-terminated texts; what follows a NUL is not shown.
    const std::wstring body = win32::Wide(text);
    const std::wstring caption = win32::Wide(title);
    // Task-modal: with no owner, the box still disables the program's own
    // windows (the create-version dialog) until it is answered.
    MessageBoxW(nullptr, body.c_str(), caption.c_str(),
                MB_OK | IconStyle(icon) | MB_SETFOREGROUND | MB_TASKMODAL);
}

}  // namespace trx
