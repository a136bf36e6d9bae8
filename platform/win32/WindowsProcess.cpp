#include "platform/win32/WindowsProcess.h"

#include "platform/win32/Win32.h"

#include "common/Text.h"
#include "platform/win32/WideText.h"

namespace trx {

namespace {

bool IsSeparator(char16_t ch) {
    return ch == u' ' || ch == u'\t';
}

std::u16string_view SkipSeparators(std::u16string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsSeparator(text[at])) {
        ++at;
    }
    return text.substr(at);
}

// The first word and what follows it.
std::u16string_view FirstWord(std::u16string_view text) {
    std::size_t end = 0;
    while (end < text.size() && !IsSeparator(text[end])) {
        ++end;
    }
    return text.substr(0, end);
}

bool IsAutomationSwitch(std::u16string_view word) {
    return word.size() > 1 && (word.front() == u'-' || word.front() == u'/') &&
           ToUpper(word.substr(1)) == u"EMBEDDING";
}

}  // namespace

std::u16string ArgumentText(std::u16string_view commandLine) {
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine.front() == u'"') {
        const std::size_t close = commandLine.find(u'"', 1);
        end = close == std::u16string_view::npos ? commandLine.size() : close + 1;
    }
    while (end < commandLine.size() && !IsSeparator(commandLine[end])) {
        ++end;
    }
    return std::u16string(SkipSeparators(commandLine.substr(end)));
}

ProcessInfo ProcessInfoFromCommandLine(std::u16string_view commandLine,
                                       std::u16string programDirectory) {
    ProcessInfo info;
    info.argumentsAsTyped = true;
    info.argumentText = ArgumentText(commandLine);
    const std::u16string_view first = FirstWord(info.argumentText);
    if (IsAutomationSwitch(first)) {
        info.mode = StartMode::Automation;
        info.argumentText = std::u16string(
            SkipSeparators(std::u16string_view(info.argumentText).substr(first.size())));
    }
    info.programDirectory = std::move(programDirectory);
    return info;
}

std::u16string ProgramDirectory() {
    // Long paths need more than MAX_PATH: grow until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) {
            return {};
        }
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::u16string() : win32::FromWide(path.substr(0, slash));
}

ProcessInfo ReadWindowsProcessInfo() {
    const wchar_t* commandLine = GetCommandLineW();
    return ProcessInfoFromCommandLine(
        commandLine == nullptr ? std::u16string() : win32::FromWide(commandLine),
        ProgramDirectory());
}

}  // namespace trx
