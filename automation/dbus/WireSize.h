#pragma once

#include <QVariant>
#include <QVariantList>

#include <cstdint>
#include <optional>

namespace trx {

// The number of bytes that the arguments take in a D-Bus message body, with
// the alignment padding of the wire format; nullopt for a value whose D-Bus
// type QtDBus does not know. A struct type other than a QVariantList counts
// when it converts to the QVariantList of its members (see
// RegisterRecordSetWireTypes).
std::optional<std::int64_t> MarshalledBodySize(const QVariantList& arguments);

}  // namespace trx
