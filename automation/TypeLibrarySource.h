#pragma once

#include "automation/ClassDescription.h"
#include "automation/ComInterface.h"

#include <span>
#include <string>

namespace trx {

// The default interface of a class as its type library declares it: each
// method, then each property's put (when it has one) and get.
ComInterface DefaultInterfaceOf(const ClassDescription& description);

// The IDL of a class's type library, from which widl makes the library:
// the further interfaces (before the class's own, in the given order), the
// class's default interface, its events, the class and the alias of its
// interface. UTF-8.
std::string TypeLibraryIdl(const ClassDescription& description,
                           std::span<const ComInterface> others = {});

// The resource script of the program's version resource, from the class's
// identity. UTF-8.
std::string VersionResourceScript(const ClassIdentity& identity);

}  // namespace trx
