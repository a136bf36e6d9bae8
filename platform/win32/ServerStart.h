#pragma once

#include <optional>
#include <string_view>

#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace trx {

// The starts of a program as a COM server that this build does not serve
// yet: started by COM (-Embedding) it says so on its standard output and ends
// with status 0; asked to register or unregister itself (/RegServer,
// /UnRegServer and their per-user forms, also with "-", any case) it says
// that COM registration comes with the server build and ends with status 1.
// Without standard error that message goes to a warning box. Empty for
// every other start.
std::optional<int> HandleServerStart(const ProcessInfo& process, std::u16string_view program,
                                     MessageBox& messages);

}  // namespace trx
