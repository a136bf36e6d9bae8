// ReadINIValue over a file of any bytes: the input is the file. It is looked
// up under a few fixed names and under the first section and key it holds.

#include "FuzzCheck.h"
#include "common/CodePage.h"
#include "common/Text.h"
#include "platform/Profile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

std::string ScratchFile() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/trx-fuzz-ini-" + std::to_string(getpid()) +
           ".ini";
}

// The first "[name]" and the first "key=" of the file, Latin-1 decoded; the
// reader must find them like any other name.
std::pair<std::u16string, std::u16string> NamesIn(std::string_view bytes) {
    std::u16string section, key;
    const std::size_t open = bytes.find('[');
    if (open != std::string_view::npos) {
        const std::size_t close = bytes.find(']', open);
        if (close != std::string_view::npos && close - open < 300) {
            for (char ch : bytes.substr(open + 1, close - open - 1)) {
                section.push_back(static_cast<unsigned char>(ch));
            }
        }
    }
    const std::size_t equals = bytes.find('=');
    if (equals != std::string_view::npos) {
        std::size_t begin = bytes.find_last_of("\r\n", equals);
        begin = begin == std::string_view::npos ? 0 : begin + 1;
        if (equals - begin < 300) {
            for (char ch : bytes.substr(begin, equals - begin)) {
                key.push_back(static_cast<unsigned char>(ch));
            }
        }
    }
    return {section, key};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchFile();
    static const std::u16string file = trx::FromUtf8(path);
    static const std::u16string longDefault(3000, u'd');

    FILE* out = std::fopen(path.c_str(), "wb");
    TRX_FUZZ_CHECK(out != nullptr);
    TRX_FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, out) == size);
    TRX_FUZZ_CHECK(std::fclose(out) == 0);

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto [section, key] = NamesIn(bytes);
    const std::vector<std::pair<std::u16string, std::u16string>> queries = {
        {u"Reginfo", u"Key"}, {u"Common", u"Build"}, {u"", u""}, {section, key}, {section, u"x"}};
    for (const auto& [s, k] : queries) {
        const std::u16string value = trx::ReadINIValue(file, s, k, u"DEF");
        TRX_FUZZ_CHECK(value.size() <= 2047);
        const std::u16string cut = trx::ReadINIValue(file, s, k, longDefault);
        TRX_FUZZ_CHECK(cut.size() <= 2047);
        // Everything read passes through the code page: it reads back the same.
        TRX_FUZZ_CHECK(trx::DecodeWindows1252(trx::EncodeWindows1252(value)) == value);
    }
    TRX_FUZZ_CHECK(trx::FileExists(file));
    return 0;
}
