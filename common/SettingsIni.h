#pragma once

// The INI form that Qt's QSettings (Qt 6) reads and writes, for the settings
// store's files. Reading follows QSettings line by line: its line ends,
// quotes, comments, escapes in names, "[General]" and "[%General]", repeated
// sections and keys. Writing gives the bytes QSettings writes for what it
// reads back the same, and other bytes only where QSettings' own writing
// would change what it reads (a name "general" in another case, a key that
// begins or ends with "/", a value cut off at the end of a hand-edited file).

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace trx::settings_ini {

// A QSettings key as a section and the rest of the key: the key is the
// section, "/" and the rest, or the rest alone where the section is empty
// (the keys of "[General]"). The section holds no "/"; a key that begins with
// "/" is one of "[General]" whose rest begins with "/".
using Name = std::pair<std::u16string, std::u16string>;
// Each value as it stands in the file after the "=", in a form that reads
// back the same when it is written on a line of its own.
using Entries = std::map<Name, std::string>;

// What QSettings reads of a file: every key with the value it takes, the
// last one where a key is given twice.
Entries Parse(std::string_view bytes);
// Sections and keys sorted by name, as QSettings writes them.
std::string Format(const Entries& entries);

// A string value as QSettings writes it.
std::string EscapeValue(std::u16string_view value);

}  // namespace trx::settings_ini
