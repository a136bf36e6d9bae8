#include "common/AutomationError.h"

#include "common/Text.h"

namespace trx {

namespace {

std::string What(std::int32_t number, const std::u16string& source,
                 const std::u16string& description) {
    return "error " + std::to_string(number) + " (" + ToUtf8(source) + "): " + ToUtf8(description);
}

}  // namespace

AutomationError::AutomationError(std::int32_t number, std::u16string source,
                                 std::u16string description)
    : std::runtime_error(What(number, source, description)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

AutomationError OverflowError() {
    return AutomationError(kErrOverflow, u"", u"Überlauf");
}

}  // namespace trx
