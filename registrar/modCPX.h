#pragma once

#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/SettingsStore.h"

#include <string>
#include <vector>

namespace trx {

// The command line split into the CPX file and the switches.
struct CommandLine {
    std::u16string filePart;    // trimmed
    std::u16string switchPart;  // trimmed and upper-cased
};

// An argument made only of switches, one or more groups of "/" and letters
// (/u, /Q, /qe, /u/q, /HELP), is a switch argument. In every other argument
// a "/" separates folders, so only a switch argument ends the file part:
// the file part is the text before the first one, the switch part the rest.
CommandLine SplitCommandLine(const std::vector<std::u16string>& arguments);

// The command line as one text typed on Windows: the file part is the text
// before its first "/", the switch part the rest from that slash on, both
// trimmed. So "entry.cpx/u/q" removes quietly and a path written with
// forward slashes is cut at its first one.
CommandLine SplitArgumentText(std::u16string_view argumentText);

// The registrar's start-up: shows the help or hands the CPX file to one call
// of CPXFile. Returns the exit status: 0 when the call succeeded, the help
// was shown or the automation system started the program; 1 when it failed.
int Main(const ProcessInfo& process, SettingsStore& store, MessageBox& messages);

}  // namespace trx
