#pragma once

#include <string>

#include "automation/ClassIdentity.h"

namespace trx {

// The WiX source (a fragment, for wixl) that installs a class's program
// into the folder INSTALLFOLDER and registers its class as registry rows:
// the programmatic identifier, the class with LocalServer32, the interfaces
// and the type library, machine-wide, once in the 64-bit and once in the
// 32-bit registry view, so that clients of either kind find it. The rows are
// the keys the program's own /RegServer writes (ComServerKeys), with the
// installed file's path; Windows Installer removes them with the program, and
// the keys at the top with all below them, as /UnRegServer does. Component
// GUIDs are derived from the class's GUID, the same in every version of the
// package. The fragment's component group is named "<class>.Program". UTF-8.
std::string InstallerSource(const ClassIdentity& identity);

}  // namespace trx
