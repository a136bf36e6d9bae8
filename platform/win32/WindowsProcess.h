#pragma once

#include <string>
#include <string_view>

#include "platform/Process.h"

namespace trx {

// The argument text of a Windows command line: everything after the
// program's own name as typed (up to its closing quote when it starts with
// one, else up to the first blank or tab), without the blanks and tabs that
// separate the two. Quotes and slashes in the rest stay as typed.
std::u16string ArgumentText(std::u16string_view commandLine);

// How the program was started, from its command line: COM starts a server
// with -Embedding (or /Embedding, any case) as the first word, which is then
// not part of the argument text. The argument text is one text, to be taken
// as typed: `arguments` stays empty.
ProcessInfo ProcessInfoFromCommandLine(std::u16string_view commandLine,
                                       std::u16string programDirectory);

// The running program's: GetCommandLineW and the folder of GetModuleFileNameW.
ProcessInfo ReadWindowsProcessInfo();

}  // namespace trx
