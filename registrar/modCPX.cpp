#include "registrar/modCPX.h"

#include "common/Text.h"
#include "registrar/CPXFile.h"

#include <algorithm>

namespace trx {

namespace {

constexpr std::u16string_view kHelp =
    u"Syntax: vxRegCPX CPX-File [/p1/p2.../pn]\r\n"
    u"\r\n"
    u"/u = Unregister\r\n"
    u"/q = Quiet\r\n"
    u"/qe = Quiet/Errors\r\n"
    u"/h = Help";

bool IsAsciiLetter(char16_t ch) {
    return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z');
}

// One switch group: a slash and letters, as often repeated as wanted.
bool IsSwitchGroup(std::u16string_view group) {
    if (group.empty() || group.front() != u'/') {
        return false;
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        const bool slash = group[i] == u'/';
        if (!slash && !IsAsciiLetter(group[i])) {
            return false;
        }
        // Each slash is followed by at least one letter.
        if (slash && (i + 1 == group.size() || !IsAsciiLetter(group[i + 1]))) {
            return false;
        }
    }
    return true;
}

// An argument made only of switch groups and blanks ("/u", "/u/q", or
// "/u /q /qe" from a caller that passes all switches as one argument).
bool IsSwitchArgument(std::u16string_view argument) {
    bool anyGroup = false;
    std::size_t start = 0;
    while (start <= argument.size()) {
        const std::size_t blank = std::min(argument.find(u' ', start), argument.size());
        const std::u16string_view group = argument.substr(start, blank - start);
        if (!group.empty()) {
            if (!IsSwitchGroup(group)) {
                return false;
            }
            anyGroup = true;
        }
        start = blank + 1;
    }
    return anyGroup;
}

bool Contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

}  // namespace

CommandLine SplitCommandLine(const std::vector<std::u16string>& arguments) {
    // The argument text is the arguments joined with single blanks; the
    // first switch slash is where the first switch argument begins.
    std::u16string text;
    std::size_t firstSwitch = std::u16string::npos;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            text += u' ';
        }
        if (firstSwitch == std::u16string::npos && IsSwitchArgument(arguments[i])) {
            firstSwitch = text.size();
        }
        text += arguments[i];
    }

    CommandLine line;
    if (firstSwitch == std::u16string::npos) {
        line.filePart = std::u16string(TrimBlanks(text));
    } else {
        const std::u16string_view whole(text);
        line.filePart = std::u16string(TrimBlanks(whole.substr(0, firstSwitch)));
        line.switchPart = ToUpper(TrimBlanks(whole.substr(firstSwitch)));
    }
    return line;
}

CommandLine SplitArgumentText(std::u16string_view argumentText) {
    CommandLine line;
    const std::size_t slash = argumentText.find(u'/');
    line.filePart = std::u16string(TrimBlanks(argumentText.substr(0, slash)));
    if (slash != std::u16string_view::npos) {
        line.switchPart = ToUpper(TrimBlanks(argumentText.substr(slash)));
    }
    return line;
}

int Main(const ProcessInfo& process, SettingsStore& store, MessageBox& messages) {
    if (process.mode == StartMode::Automation) {
        return 0;
    }

    const CommandLine line = process.argumentsAsTyped ? SplitArgumentText(process.argumentText)
                                                      : SplitCommandLine(process.arguments);
    if (line.filePart.empty() || Contains(line.switchPart, u"/H")) {
        messages.Show(kHelp, MessageIcon::Information, u"vxRegCPX");
        return 0;
    }

    const AutoBool quiet = ToAutoBool(Contains(line.switchPart, u"/Q"));
    const AutoBool showErrors = ToAutoBool(Contains(line.switchPart, u"/QE"));
    CPXFile registrar(store, messages, process.programDirectory);
    const AutoBool result = Contains(line.switchPart, u"/U")
                                ? registrar.UnRegisterFile(line.filePart, quiet, showErrors)
                                : registrar.Register(line.filePart, quiet, showErrors);
    return result == kTrue ? 0 : 1;
}

}  // namespace trx
