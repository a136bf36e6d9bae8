#pragma once

namespace trx {

enum class Display { None, X11, Wayland };

// The graphical display that DISPLAY or WAYLAND_DISPLAY names, when it would
// really serve this program: an X server must accept the connection setup
// with the user's authorization (the MIT-MAGIC-COOKIE-1 for that display in
// $XAUTHORITY or ~/.Xauthority, as libxcb finds it); a Wayland compositor
// must answer a round trip, and counts only where Qt's Wayland platform
// plugin is installed. A display that is named but gone, refuses the user,
// closes, answers junk or stays silent counts as none, so that the programs
// use the console instead of failing to start a graphical one. Probes with
// plain sockets, without a graphical library, in one second at most.
//
// The probe's connection stays open for the object's life: an X server
// resets when its last client goes, and one whose only client was the probe
// would refuse the program's own connection while it does.
class ReachableDisplay {
  public:
    ReachableDisplay();
    ~ReachableDisplay();
    ReachableDisplay(const ReachableDisplay&) = delete;
    ReachableDisplay& operator=(const ReachableDisplay&) = delete;

    Display Kind() const { return kind_; }

  private:
    Display kind_ = Display::None;
    int connection_ = -1;
};

// Makes Qt use the display that ReachableDisplay found (QT_QPA_PLATFORM),
// unless a platform was chosen already: Qt's own choice could fall on
// another one and end the program there. For a program's entry point,
// before any Qt application object exists.
void UseDisplay(Display display);

}  // namespace trx
