// The settings store's reading of its INI file, on any file bytes.

#include "common/SettingsIni.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace ini = trx::settings_ini;
    const ini::Entries read =
        ini::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    // Written back and read again, every section, key and value is as read:
    // a change of the store keeps what it does not change.
    const std::string written = ini::Format(read);
    TRX_FUZZ_CHECK(ini::Parse(written) == read);
    TRX_FUZZ_CHECK(ini::Format(ini::Parse(written)) == written);
    return 0;
}
