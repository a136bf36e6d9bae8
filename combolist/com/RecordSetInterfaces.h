#pragma once

#include "automation/ComInterface.h"

#include <vector>

namespace trx {

// The interfaces of the record set that ComboList hands to COM clients
// (record set, fields, field), in the order of the type library: one line
// for each slot of an interface's table.
std::vector<ComInterface> RecordSetInterfaces();

}  // namespace trx
