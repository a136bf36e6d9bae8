#pragma once

#include "common/RecordSet.h"
#include "common/Text.h"

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace trx::test {

// The rows of a record set as "visible|itemdata" lines, texts and integers
// written out, any other value as "?"; no record set gives no rows.
inline std::vector<std::string> Rows(const std::shared_ptr<const RecordSet>& set) {
    std::vector<std::string> rows;
    if (!set) {
        return rows;
    }
    for (std::size_t r = 0; r < set->RecordCount(); ++r) {
        std::string line;
        for (std::size_t c = 0; c < set->FieldCount(); ++c) {
            const FieldValue v = set->Value(r, c);
            line += c == 0 ? "" : "|";
            if (const auto* text = std::get_if<std::u16string>(&v)) {
                line += ToUtf8(*text);
            } else if (const auto* number = std::get_if<std::int64_t>(&v)) {
                line += std::to_string(*number);
            } else {
                line += "?";
            }
        }
        rows.push_back(line);
    }
    return rows;
}

}  // namespace trx::test
