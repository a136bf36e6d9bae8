#pragma once

#include <string_view>

#include "platform/MessageBox.h"

namespace trx {

// Tells the person who started a program with a server switch (/RegServer
// and its kin) the outcome in one line: on standard output, or on standard
// error when it is a failure. A program without that handle (started from
// the desktop) shows the line in a box instead: information, or a warning
// titled "Fehler".
void ReportServerSwitch(std::u16string_view line, bool failed, std::u16string_view program,
                        MessageBox& messages);

}  // namespace trx
