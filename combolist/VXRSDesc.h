#pragma once

#include <memory>
#include <string>

#include "common/RecordSet.h"

namespace trx {

// The definition of one list and its last loaded record set. Private to the
// server; never handed to clients.
class VXRSDesc {
  public:
    std::u16string m_SQL;                   // the SELECT statement that loads the list
    std::shared_ptr<const RecordSet> m_RS;  // null until the first successful load
    std::u16string m_Connection;            // connect string of the list's database
    bool m_Refresh = false;                 // to be loaded by the next load run
};

}  // namespace trx
