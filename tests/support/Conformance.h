#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trx::test {

// The folder of the observed vectors (tests/data). Throws when it is missing, so
// that a test fails rather than passes on nothing.
std::filesystem::path ConformanceDir();

// One field of a vector file: its unescaped bytes, or empty for \N.
using Field = std::optional<std::string>;

struct VectorCase {
    int line = 0;
    std::vector<Field> fields;
};

// Reads a tab-separated vector file, skipping comment lines (#) and blank
// lines, and undoing the C-style escapes \r \n \t \\ \xHH and \N.
std::vector<VectorCase> ReadVectors(const std::string& fileName);

}  // namespace trx::test
