#include "tests/support/Conformance.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace trx::test {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    throw std::runtime_error(std::string("bad hex digit in vector: ") + c);
}

Field Unescape(const std::string& raw) {
    if (raw == "\\N") {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            out.push_back(raw[i]);
            continue;
        }
        const char c = raw[++i];
        switch (c) {
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case 'x':
                if (i + 2 >= raw.size()) {
                    throw std::runtime_error("cut \\x escape in vector");
                }
                out.push_back(static_cast<char>(HexDigit(raw[i + 1]) * 16 + HexDigit(raw[i + 2])));
                i += 2;
                break;
            default:
                throw std::runtime_error(std::string("unknown escape in vector: \\") + c);
        }
    }
    return out;
}

}  // namespace

std::filesystem::path ConformanceDir() {
    const std::filesystem::path dir = TRX_CONFORMANCE_DIR;
    if (!std::filesystem::is_directory(dir)) {
        throw std::runtime_error("conformance vectors not found at " + dir.string());
    }
    return dir;
}

std::vector<VectorCase> ReadVectors(const std::string& fileName) {
    const auto path = ConformanceDir() / fileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::vector<VectorCase> cases;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        VectorCase c;
        c.line = number;
        std::size_t start = 0;
        while (true) {
            const auto tab = line.find('\t', start);
            c.fields.push_back(Unescape(line.substr(start, tab - start)));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        cases.push_back(std::move(c));
    }
    if (cases.empty()) {
        throw std::runtime_error("no cases in " + path.string());
    }
    return cases;
}

}  // namespace trx::test
