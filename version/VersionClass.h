#pragma once

#include "automation/ClassDescription.h"
#include "platform/Clock.h"

#include <string>

namespace trx {

// The identity under which clients know Version: programmatic identifier
// vxTRXVer.Version, type library vxTRXVer 4.1.
ClassIdentity VersionIdentity();

// Version's identity and members, without a way to make objects: what its
// type library and version resource are made from.
ClassDescription VersionShape();

// Version as clients reach it: each object loads its record from vxTRX.ini
// in the program directory when it is created. Save is not reachable.
ClassDescription VersionClass(const Clock& clock, std::u16string programDirectory);

}  // namespace trx
