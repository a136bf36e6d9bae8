#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace trx {

// The folder where the session bus looks for the user's service files:
// $XDG_DATA_HOME/dbus-1/services, by default ~/.local/share/dbus-1/services.
std::filesystem::path UserServiceFolder();

// The service file that lets the bus start executable as the server of
// progId: Name= the identifier, Exec= the absolute path and -Embedding.
std::string ServiceFileText(const std::string& progId, const std::filesystem::path& executable);

// Handles the registration switches (RegistrationSwitch.h) before the
// program's own start-up: /RegServer writes <progId>.service, /UnRegServer
// removes it; the file is the user's own, so /RegServerPerUser and
// /UnRegServerPerUser do the same. Says so on out (or on err when it cannot)
// and gives the exit code. Empty when no switch is on the command line.
std::optional<int> HandleRegistrationSwitches(int argc, const char* const* argv,
                                              const std::string& progId, std::ostream& out,
                                              std::ostream& err);

// The same with the folder and the executable given, for tests.
int RegisterServer(const std::string& progId, const std::filesystem::path& executable,
                   const std::filesystem::path& folder, std::ostream& out, std::ostream& err);
int UnregisterServer(const std::string& progId, const std::filesystem::path& folder,
                     std::ostream& out, std::ostream& err);

}  // namespace trx
