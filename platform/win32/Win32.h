#pragma once

// <windows.h> for the Windows layer. Its MessageBox macro would rename the
// platform interface trx::MessageBox in every file that sees both, so it
// goes; the layer calls MessageBoxW by name.
#include <windows.h>

#undef MessageBox
