#include "common/Text.h"

#include <cstdint>

namespace trx {

namespace {

struct Decoded {
    char32_t cp;      // U+FFFD where the bytes are no valid UTF-8
    std::size_t len;  // bytes read
    bool valid;
};

Decoded DecodeAt(std::string_view in, std::size_t i) {
    const std::size_t n = in.size();
    const auto b0 = static_cast<unsigned char>(in[i]);
    auto cont = [&](std::size_t k) {
        return i + k < n && (static_cast<unsigned char>(in[i + k]) & 0xC0) == 0x80;
    };
    auto bits = [&](std::size_t k) {
        return static_cast<char32_t>(static_cast<unsigned char>(in[i + k]) & 0x3F);
    };
    if (b0 < 0x80) {
        return {b0, 1, true};
    }
    if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
        return {(static_cast<char32_t>(b0 & 0x1F) << 6) | bits(1), 2, true};
    }
    if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
        const char32_t cp = (static_cast<char32_t>(b0 & 0x0F) << 12) | (bits(1) << 6) | bits(2);
        const bool valid = cp >= 0x800 && (cp < 0xD800 || cp >= 0xE000);
        return {valid ? cp : 0xFFFD, 3, valid};
    }
    if (b0 >= 0xF0 && b0 < 0xF5 && cont(1) && cont(2) && cont(3)) {
        const char32_t cp =
            (static_cast<char32_t>(b0 & 0x07) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
        const bool valid = cp >= 0x10000 && cp <= 0x10FFFF;
        return {valid ? cp : 0xFFFD, 4, valid};
    }
    return {0xFFFD, 1, false};
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// A byte of a file name that is no UTF-8 stands for itself as one of the
// lone low surrogates U+DC80 to U+DCFF, which no valid UTF-8 decodes to.
constexpr char16_t kEscapedByte = 0xDC00;

// Encodes in; escaped bytes of a file name go out as themselves when
// `fileName`, as U+FFFD otherwise.
std::string Encode(std::u16string_view in, bool fileName) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
            in[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (fileName && cp >= kEscapedByte + 0x80 && cp <= kEscapedByte + 0xFF) {
            out.push_back(static_cast<char>(cp - kEscapedByte));
            continue;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

}  // namespace

std::u16string FromUtf8(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const Decoded d = DecodeAt(in, i);
        AppendUtf16(out, d.cp);
        i += d.len;
    }
    return out;
}

std::string ToUtf8(std::u16string_view in) {
    return Encode(in, false);
}

std::u16string FromFileName(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const Decoded d = DecodeAt(in, i);
        if (d.valid) {
            AppendUtf16(out, d.cp);
            i += d.len;
        } else {
            out.push_back(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(in[i])));
            ++i;
        }
    }
    return out;
}

std::string ToFileName(std::u16string_view in) {
    return Encode(in, true);
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

std::u16string ToUpper(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
            c = static_cast<char16_t>(c - 0x20);
        } else if (c == 0xFF) {
            c = 0x178;
        }
    }
    return out;
}

}  // namespace trx
