#include "platform/win32/ServerStart.h"

#include "platform/win32/Win32.h"

#include <string>

#include "common/Text.h"
#include "platform/win32/WideText.h"

namespace trx {

namespace {

// Writes one line to a standard handle: as wide text to a console, as UTF-8
// to a file or pipe. False when the program has no such handle.
bool WriteLine(DWORD which, std::u16string_view line) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::u16string text(line);
    text += u"\r\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = win32::Wide(text);
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                             nullptr) != FALSE;
    }
    const std::string bytes = ToUtf8(text);
    return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) !=
           FALSE;
}

}  // namespace

void ReportServerSwitch(std::u16string_view line, bool failed, std::u16string_view program,
                        MessageBox& messages) {
    if (!WriteLine(failed ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE, line)) {
        messages.Show(line, failed ? MessageIcon::Warning : MessageIcon::Information,
                      failed ? u"Fehler" : program);
    }
}

}  // namespace trx
