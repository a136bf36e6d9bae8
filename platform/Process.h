#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trx {

enum class StartMode { Program, Automation };

// How the running program was started, and what it needs of its process.
struct ProcessInfo {
    StartMode mode = StartMode::Program;
    // The arguments after the program's name joined with single blanks; the
    // automation switch is not part of it.
    std::u16string argumentText;
    // The same arguments one by one, for programs that must tell a switch
    // from a path holding slashes.
    std::vector<std::u16string> arguments;
    // The folder that holds the running executable, without a trailing "/".
    std::u16string programDirectory;
    // Windows hands a program one text rather than a list: argumentText is
    // then the command line as typed, and `arguments` stays empty.
    bool argumentsAsTyped = false;
};

// The automation system starts a server with -Embedding (or /Embedding, in
// any case) as the first argument.
ProcessInfo ReadProcessInfo(int argc, const char* const* argv);

// The folder of the running executable (resolved, not the current folder);
// empty when it cannot be found (no /proc).
std::u16string ProgramDirectory();

// A program whose folder cannot be found cannot find its files there either
// (vxTRX.ini, the targets of a CPX file, its graphical module): it says so on
// `err` and ends with status 1, which this returns. Empty when the folder
// is known.
std::optional<int> RequireProgramDirectory(const ProcessInfo& process, std::string_view program,
                                           std::ostream& err);

}  // namespace trx
