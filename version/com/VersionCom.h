#pragma once

#include "automation/com/ComServer.h"

namespace trx {

// The COM object of Version: the interface _Version of the type library
// vxTRXVer, each slot calling Version's member function.
IUnknown* MakeVersionObject(com::ComServer& server, std::unique_ptr<ServedObject> object);

}  // namespace trx
