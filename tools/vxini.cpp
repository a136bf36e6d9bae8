// vxini: reads and writes single values of profile (INI) files with the same
// routines as the programs, for administrators and scripts.

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/ProfileEntry.h"
#include "common/StandardOptions.h"
#include "common/Text.h"
#include "platform/Profile.h"

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  vxini get FILE SECTION KEY [DEFAULT]\n"
    "  vxini set FILE SECTION KEY VALUE\n"
    "  vxini --help | --version\n";

constexpr std::string_view kHelp =
    "\n"
    "Reads or writes one value of a profile (INI) file, exactly as the programs\n"
    "of the suite do.\n"
    "\n"
    "  get  prints the value of KEY in SECTION of FILE and a line feed. When the\n"
    "       file, the section or the key is missing, it prints DEFAULT (empty\n"
    "       when not given). At most 2047 characters come back.\n"
    "  set  sets KEY in SECTION of FILE to VALUE, creating the key, the section\n"
    "       or the file. Every other line of the file stays as it was; the file\n"
    "       is replaced as a whole, so a failed write leaves the old one intact.\n"
    "\n"
    "Arguments are UTF-8. The file holds its text in Windows-1252 (or UTF-8 or\n"
    "UTF-16 when it starts with a byte-order mark); a character the file cannot\n"
    "hold is written as \"?\". Section and key names match regardless of the\n"
    "case of ASCII letters.\n"
    "\n"
    "Exit status: 0 on success, 1 when the write failed, 2 on a usage error.\n"
    "\n"
    "Example:\n"
    "  vxini set vxTRX.ini Common RequiredDBVersion 4.1\n";

int UsageError(std::string_view problem) {
    std::cerr << "vxini: " << problem << "\n" << kUsage;
    return 2;
}

std::string_view Explain(trx::profile::EntryProblem problem) {
    using trx::profile::EntryProblem;
    switch (problem) {
        case EntryProblem::LineBreak:
            return "the section, key or value holds a line break or NUL";
        case EntryProblem::EmptySection:
            return "the section name is empty";
        case EntryProblem::BracketInSection:
            return "the section name holds \"]\"";
        case EntryProblem::EmptyKey:
            return "the key is empty";
        case EntryProblem::EqualsInKey:
            return "the key holds \"=\"";
        case EntryProblem::UnreadableKey:
            return "the line would not read back as this key (it would start with \"[\" "
                   "and hold \"]\", or the key ends in a vertical tab or form feed)";
        case EntryProblem::None:
            break;
    }
    return {};
}

int Get(const std::vector<std::string>& args) {
    const std::u16string fallback = args.size() > 4 ? trx::FromUtf8(args[4]) : std::u16string();
    const std::u16string value = trx::ReadINIValue(
        trx::FromFileName(args[1]), trx::FromUtf8(args[2]), trx::FromUtf8(args[3]), fallback);
    std::cout << trx::ToUtf8(value) << "\n";
    return std::cout.flush() ? 0 : 1;
}

// Why a write failed where the file, not the entry, was the reason.
std::string ExplainFile(const trx::FileFailure& failure) {
    using Cause = trx::FileFailure::Cause;
    switch (failure.cause) {
        case Cause::LinkNotFollowed:
            return trx::ToFileName(failure.file) +
                   " is a symbolic link that belongs neither to root nor to the owner of its "
                   "target; it is not followed";
        case Cause::Locked: {
            std::string text = trx::ToFileName(failure.lockFile) + " locks the file";
            if (failure.holderPid > 0) {
                text += " (process " + std::to_string(failure.holderPid);
                if (!failure.holderProgram.empty()) {
                    text += ", " + trx::ToUtf8(failure.holderProgram);
                }
                if (!failure.holderHost.empty()) {
                    text += ", on " + trx::ToUtf8(failure.holderHost);
                }
                text += ")";
            }
            return text + " and was not released within 5 seconds";
        }
        case Cause::Other:
            break;
    }
    return "the file " + trx::ToFileName(failure.file) +
           " could not be written (is its folder missing or not writable, or is the path no "
           "regular file?)";
}

int Set(const std::vector<std::string>& args) {
    const std::u16string section = trx::FromUtf8(args[2]);
    const std::u16string key = trx::FromUtf8(args[3]);
    const std::u16string value = trx::FromUtf8(args[4]);
    trx::FileFailure failure;
    if (trx::WriteINIValue(trx::FromFileName(args[1]), section, key, value, failure)) {
        return 0;
    }
    const auto problem = trx::profile::CheckEntry(section, key, value);
    std::cerr << "vxini: cannot set " << args[3] << " in [" << args[2] << "] of " << args[1] << ": "
              << (problem == trx::profile::EntryProblem::None ? ExplainFile(failure)
                                                              : std::string(Explain(problem)))
              << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return UsageError("no command given");
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage << kHelp;
        return 0;
    }
    if (command == "--version" && args.size() == 1) {
        std::cout << "vxini " << trx::ProgramVersion() << "\n";
        return 0;
    }
    if (command == "get") {
        if (args.size() != 4 && args.size() != 5) {
            return UsageError("get takes FILE SECTION KEY and an optional DEFAULT");
        }
        return Get(args);
    }
    if (command == "set") {
        if (args.size() != 5) {
            return UsageError("set takes FILE SECTION KEY VALUE");
        }
        return Set(args);
    }
    return UsageError("unknown command '" + command + "'");
}
