// The registrar's command-line split on any arguments: the input, as UTF-8,
// cut into arguments at its NUL bytes.

#include "FuzzCheck.h"
#include "common/Text.h"
#include "registrar/modCPX.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::u16string> arguments;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find('\0', start);
        arguments.push_back(trx::FromUtf8(input.substr(start, end - start)));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }

    const trx::CommandLine line = trx::SplitCommandLine(arguments);
    // Both parts come back without blanks at their ends.
    for (const std::u16string* part : {&line.filePart, &line.switchPart}) {
        TRX_FUZZ_CHECK(part->empty() || (part->front() != u' ' && part->back() != u' '));
    }
    // The switch part starts with a switch and holds no lower-case letter.
    TRX_FUZZ_CHECK(line.switchPart.empty() || line.switchPart.front() == u'/');
    for (char16_t ch : line.switchPart) {
        TRX_FUZZ_CHECK(!(ch >= u'a' && ch <= u'z'));
    }
    // No text appears that the arguments did not hold: the two parts are at
    // most the arguments joined with blanks.
    std::size_t total = 0;
    for (const auto& argument : arguments) {
        total += argument.size() + 1;
    }
    TRX_FUZZ_CHECK(line.filePart.size() + line.switchPart.size() <= total);
    return 0;
}
