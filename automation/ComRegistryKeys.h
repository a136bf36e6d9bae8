#pragma once

// The registry keys that register an out-of-process COM server, below
// Software\Classes: written by the program's own /RegServer and, as rows of
// its Windows Installer package, by the installer. One list, so that both
// register the same.

#include <string>
#include <utility>
#include <vector>

#include "automation/ClassIdentity.h"

namespace trx {

struct ComRegistryKey {
    std::u16string path;          // below Software\Classes
    std::u16string defaultValue;  // empty: the key has no default value
    std::vector<std::pair<std::u16string, std::u16string>> named = {};
};

// The programmatic identifier, the class with LocalServer32 (the quoted
// program), the interfaces marshalled by the type library (the event
// interface as IDispatch) and the type library itself, filed under win32 and
// win64 as the program, whose resource it is. program and folder (the
// program's folder, the type library's HELPDIR, with its closing backslash)
// are taken as given; every other value comes from the identity.
std::vector<ComRegistryKey> ComServerKeys(const ClassIdentity& identity,
                                          const std::u16string& program,
                                          const std::u16string& folder);

// The keys at the top of that list, each removed with all below it.
std::vector<std::u16string> ComServerTopKeys(const ClassIdentity& identity);

}  // namespace trx
