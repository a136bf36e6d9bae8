#include "platform/win32/ServerStart.h"

#include "platform/win32/Win32.h"

#include <array>
#include <string>

#include "common/Text.h"
#include "platform/win32/WideText.h"

namespace trx {

namespace {

// A registration switch as the first word of the argument text.
bool IsRegistrationSwitch(std::u16string_view argumentText) {
    const std::size_t end = argumentText.find_first_of(u" \t");
    const std::u16string_view word = argumentText.substr(0, end);
    if (word.size() < 2 || (word.front() != u'/' && word.front() != u'-')) {
        return false;
    }
    const std::u16string name = ToUpper(word.substr(1));
    constexpr std::array<std::u16string_view, 4> kSwitches = {
        u"REGSERVER", u"UNREGSERVER", u"REGSERVERPERUSER", u"UNREGSERVERPERUSER"};
    for (const std::u16string_view known : kSwitches) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

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

std::optional<int> HandleServerStart(const ProcessInfo& process, std::u16string_view program,
                                     MessageBox& messages) {
    std::u16string line(program);
    if (process.mode == StartMode::Automation) {
        line +=
            u": von COM gestartet (-Embedding). Diese Ausgabe bedient noch keine Klasse; "
            u"der COM-Server kommt mit dem Server-Build. Das Programm endet.";
        WriteLine(STD_OUTPUT_HANDLE, line);
        return 0;
    }
    if (!IsRegistrationSwitch(process.argumentText)) {
        return std::nullopt;
    }
    line +=
        u": Die COM-Registrierung (/RegServer, /UnRegServer) kommt mit dem Server-Build; "
        u"dieses Programm registriert sich noch nicht.";
    if (!WriteLine(STD_ERROR_HANDLE, line)) {
        messages.Show(line, MessageIcon::Warning, u"Fehler");
    }
    return 1;
}

}  // namespace trx
