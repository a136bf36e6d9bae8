#include "combolist/VXRSDesc.h"

namespace trx {

VXRSDesc::VXRSDesc() = default;

}  // namespace trx
