#include "platform/Process.h"

#include "common/Text.h"

#include <filesystem>
#include <ostream>
#include <system_error>

namespace trx {

namespace {

bool IsAutomationSwitch(std::u16string_view argument) {
    if (argument.empty() || (argument.front() != u'-' && argument.front() != u'/')) {
        return false;
    }
    return ToUpper(argument.substr(1)) == u"EMBEDDING";
}

}  // namespace

ProcessInfo ReadProcessInfo(int argc, const char* const* argv) {
    ProcessInfo info;
    int first = 1;
    if (argc > 1 && argv[1] != nullptr && IsAutomationSwitch(FromUtf8(argv[1]))) {
        info.mode = StartMode::Automation;
        first = 2;
    }
    for (int i = first; i < argc; ++i) {
        if (argv[i] == nullptr) {
            break;
        }
        info.arguments.push_back(FromFileName(argv[i]));
        if (i > first) {
            info.argumentText += u' ';
        }
        info.argumentText += info.arguments.back();
    }
    info.programDirectory = ProgramDirectory();
    return info;
}

std::u16string ProgramDirectory() {
    // /proc/self/exe names the executable itself, with every symbolic link
    // resolved, whatever the current folder or the name it was started by.
    std::error_code ec;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    std::u16string folder = FromFileName(executable.parent_path().string());
    while (!folder.empty() && folder.back() == u'/') {
        folder.pop_back();
    }
    return folder;
}

std::optional<int> RequireProgramDirectory(const ProcessInfo& process, std::string_view program,
                                           std::ostream& err) {
    if (!process.programDirectory.empty()) {
        return std::nullopt;
    }
    err << program << ": Der Ordner des Programms ist nicht zu ermitteln (/proc/self/exe fehlt).\n";
    err.flush();
    return 1;
}

}  // namespace trx
