#pragma once

// Names that the bus itself defines and that the server and the client both
// use.

#include <QString>

namespace trx::bus {

inline const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString kErrorFailed = QStringLiteral("org.freedesktop.DBus.Error.Failed");
inline const QString kErrorNoServer = QStringLiteral("org.freedesktop.DBus.Error.NoServer");

}  // namespace trx::bus
