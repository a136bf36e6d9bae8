#pragma once

// The INI form that Qt's QSettings reads and writes, for the settings store's
// files: written byte for byte as QSettings writes it, read as QSettings
// reads it, so that the control panel and files written before see no change.

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace trx::settings_ini {

// A section and a key, as QSettings is given them. The section of the keys
// before the first section line (QSettings' "General") is the empty one.
using Name = std::pair<std::u16string, std::u16string>;
// Each value in its escaped form, as it stands in the file after the "=".
using Entries = std::map<Name, std::string>;

Entries Parse(std::string_view bytes);
// Sections and keys sorted by name, as QSettings writes them.
std::string Format(const Entries& entries);

// A value as QSettings writes a string.
std::string EscapeValue(std::u16string_view value);
// A section or key name as QSettings writes it.
std::string EscapeName(std::u16string_view name);

}  // namespace trx::settings_ini
