#pragma once

#include "automation/com/ComServer.h"

namespace trx {

// The COM object of CPXFile: the interface _CPXFile of the type library
// vxRegCPX, each slot calling CPXFile's member function.
IUnknown* MakeCPXFileObject(com::ComServer& server, std::unique_ptr<ServedObject> object);

}  // namespace trx
