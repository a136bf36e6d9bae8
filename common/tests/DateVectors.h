#pragma once

#include "common/AutomationDate.h"
#include "common/CodePage.h"
#include "tests/support/Conformance.h"

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace trx::test {

// One case of the shared date recognition vectors: the text, and the date it
// denotes or empty when it is no date.
struct DateVector {
    int line = 0;
    std::u16string text;
    std::string readable;
    std::optional<double> expected;
};

// Reads "YYYY-MM-DD hh:mm:ss", with CURRENT standing for the current year.
inline double ReadableToDate(std::string readable, int currentYear) {
    if (readable.rfind("CURRENT", 0) == 0) {
        readable.replace(0, 7, std::to_string(currentYear));
    }
    CalendarDateTime value;
    if (std::sscanf(readable.c_str(), "%d-%d-%d %d:%d:%d", &value.year, &value.month, &value.day,
                    &value.hour, &value.minute, &value.second) != 6) {
        throw std::runtime_error("bad readable date in vector: " + readable);
    }
    const std::optional<double> date = ToAutomationDate(value);
    if (!date) {
        throw std::runtime_error("readable date out of range in vector: " + readable);
    }
    return *date;
}

inline std::vector<DateVector> LoadDateVectors(const std::string& fileName, int currentYear) {
    std::vector<DateVector> cases;
    for (const VectorCase& raw : ReadVectors(fileName)) {
        if (raw.fields.size() != 3 || !raw.fields[0] || !raw.fields[1] || !raw.fields[2]) {
            throw std::runtime_error(fileName + ": malformed line " + std::to_string(raw.line));
        }
        DateVector c;
        c.line = raw.line;
        c.text = DecodeWindows1252(*raw.fields[0]);
        c.readable = *raw.fields[2];
        if (*raw.fields[1] == "OK") {
            c.expected = ReadableToDate(c.readable, currentYear);
        } else if (*raw.fields[1] != "ERR") {
            throw std::runtime_error(fileName + ": bad status on line " + std::to_string(raw.line));
        }
        cases.push_back(std::move(c));
    }
    if (cases.empty()) {
        throw std::runtime_error(fileName + " holds no cases");
    }
    return cases;
}

}  // namespace trx::test
