#pragma once

#include <string>

namespace trx {

// The events of VXComboDB, raised synchronously to every connected sink. A
// handler may call the object again; that call runs before the event returns.
class VXComboDBEvents {
  public:
    virtual ~VXComboDBEvents() = default;
    // A load run has loaded the list `name`.
    virtual void DataSourceReady(const std::u16string& name) = 0;
    // A load run has completed.
    virtual void Ready() = 0;
};

}  // namespace trx
