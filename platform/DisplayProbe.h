#pragma once

namespace trx {

// True when the graphical display that DISPLAY or WAYLAND_DISPLAY names
// accepts a connection. A display that is named but gone (a stale DISPLAY in
// an SSH session or a service's environment) counts as none, so that the
// programs use the console instead of failing to start a graphical one.
// Probes the display's socket alone, without a graphical library; a remote
// X server gets at most a second to answer.
bool DisplayReachable();

}  // namespace trx
