#pragma once

#include "automation/com/ComServer.h"

namespace trx {

// Makes the COM objects of VXComboDB: the interface _VXComboDB of the type
// library VXBComboServer, each slot calling VXComboDB's member function,
// with the events through its connection point; ComboList hands out a
// record set object over the list's rows.
com::ComObjectMaker VXComboDBObjects();

}  // namespace trx
