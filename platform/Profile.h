#pragma once

#include <string>
#include <string_view>

#include "common/FileFailure.h"

namespace trx {

// The profile (INI) file routines shared by the programs.

// The value of Key in Section of FileName, or Default when the file, section
// or key is missing. At most 2047 characters come back.
std::u16string ReadINIValue(std::u16string_view fileName, std::u16string_view section,
                            std::u16string_view key, std::u16string_view defaultValue);

// Sets Key in Section of FileName to Value, creating the key, section or file.
// The file is replaced atomically and keeps every other byte. Returns false,
// leaving the old file intact, when the write fails.
bool WriteINIValue(std::u16string_view fileName, std::u16string_view section,
                   std::u16string_view key, std::u16string_view value);
// The same, telling in `failure` why a write failed and which file it could
// not write (the file a symbolic link points to, where the link is followed).
bool WriteINIValue(std::u16string_view fileName, std::u16string_view section,
                   std::u16string_view key, std::u16string_view value, FileFailure& failure);

// True when FileName can be opened for reading (a directory cannot).
bool FileExists(std::u16string_view fileName);

}  // namespace trx
