#include "common/SettingsIni.h"

#include "common/Text.h"

#include <algorithm>
#include <vector>

namespace trx::settings_ini {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::size_t kNone = std::string_view::npos;

bool IsHexDigit(char16_t ch) {
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
}

int HexValue(char16_t ch) {
    if (ch >= u'0' && ch <= u'9') {
        return ch - u'0';
    }
    return (ch | 0x20) - u'a' + 10;
}

std::string LowerHex(unsigned value) {
    static constexpr char kLower[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kLower[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

template <typename Text>
bool EqualsIgnoringCase(const Text& a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](auto c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (lower(a[i]) != static_cast<unsigned char>(lower(b[i]))) {
            return false;
        }
    }
    return true;
}

// The white space that QSettings skips at the start of a line.
bool IsLineSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

// The white space around a name (C's isspace).
bool IsAsciiSpace(char16_t ch) {
    return ch == u' ' || (ch >= u'\t' && ch <= u'\r');
}

std::string_view TrimAscii(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsAsciiSpace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// UTF-8 as QString::fromUtf8 decodes a name: a byte-order mark at the start
// is dropped, and every byte that does not begin a valid sequence becomes
// U+FFFD on its own.
std::u16string DecodeName(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = [&](std::size_t k) {
            return i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0u;
        };
        const auto cont = [&](std::size_t k) { return (b(k) & 0xC0) == 0x80; };
        const unsigned lead = b(0);
        char32_t cp = 0xFFFD;
        std::size_t length = 1;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead < 0xE0 && cont(1)) {
            cp = ((lead & 0x1F) << 6) | (b(1) & 0x3F);
            length = 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && cont(1) && cont(2)) {
            const char32_t v = ((lead & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
            if (v >= 0x800 && (v < 0xD800 || v >= 0xE000)) {
                cp = v;
                length = 3;
            }
        } else if (lead >= 0xF0 && lead < 0xF5 && cont(1) && cont(2) && cont(3)) {
            const char32_t v = ((lead & 0x07) << 18) | ((b(1) & 0x3F) << 12) |
                               ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
            if (v >= 0x10000 && v <= 0x10FFFF) {
                cp = v;
                length = 4;
            }
        }
        if (cp >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return text;
}

// The number QSettings reads in the digits of a "%XX" or "%UXXXX" escape
// (QString::toUShort with base 16): white space around it, one "+" and a
// "0x" may stand before the hexadecimal digits; anything else fails.
bool ReadEscapeDigits(std::u16string_view digits, char16_t& value) {
    while (!digits.empty() && IsAsciiSpace(digits.front())) {
        digits.remove_prefix(1);
    }
    while (!digits.empty() && IsAsciiSpace(digits.back())) {
        digits.remove_suffix(1);
    }
    if (digits.starts_with(u'+')) {
        digits.remove_prefix(1);
    }
    if (digits.size() > 2 && digits[0] == u'0' && (digits[1] | 0x20) == u'x') {
        digits.remove_prefix(2);
    }
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
        return false;
    }
    unsigned number = 0;
    for (const char16_t ch : digits) {
        number = number * 16 + static_cast<unsigned>(HexValue(ch));
    }
    value = static_cast<char16_t>(number);
    return true;
}

// A section or key name as QSettings reads it: "\" stands for "/", "%XX" and
// "%UXXXX" for a character; a "%" that begins no escape is itself.
std::u16string UnescapeName(std::string_view raw) {
    const std::u16string text = DecodeName(raw);
    std::u16string name;
    for (std::size_t i = 0; i < text.size();) {
        const char16_t ch = text[i];
        if (ch == u'\\') {
            name += u'/';
            ++i;
            continue;
        }
        if (ch != u'%' || i + 1 == text.size()) {
            name += ch;
            ++i;
            continue;
        }
        const bool wide = text[i + 1] == u'U';
        const std::size_t first = i + (wide ? 2 : 1);
        const std::size_t count = wide ? 4 : 2;
        char16_t value = 0;
        if (first + count > text.size() ||
            !ReadEscapeDigits(std::u16string_view(text).substr(first, count), value)) {
            name += u'%';
            ++i;
            continue;
        }
        name += value;
        i = first + count;
    }
    return name;
}

// A name as QSettings writes it; "/" becomes "\" (within keys) or "%2F"
// (where "\" would stand before the "=" and hide it).
std::string EscapeName(std::u16string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t ch = name[i];
        if (ch == u'/' && i + 1 < name.size()) {
            out += '\\';
        } else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') ||
                   (ch >= u'0' && ch <= u'9') || ch == u'_' || ch == u'-' || ch == u'.') {
            out += static_cast<char>(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += kHex[ch / 16];
            out += kHex[ch % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(ch >> shift) & 0xF];
            }
        }
    }
    return out;
}

// One logical line as QSettings cuts the file: leading white space skipped;
// a backslash takes the next character (a CR LF or LF CR pair whole) into
// the line; a line break or ";" inside double quotes belongs to the line; a
// line that begins with ";" is a comment and skipped. `equals` is the
// position of the first "=" outside quotes, or kNone.
struct LineCut {
    std::size_t start = 0;
    std::size_t length = 0;
    std::size_t equals = kNone;
};

bool IsSpecial(char ch) {
    return ch == '\n' || ch == '\r' || ch == '"' || ch == ';' || ch == '=' || ch == '\\';
}

bool NextLine(std::string_view data, std::size_t& position, LineCut& line) {
    const std::size_t size = data.size();
    bool inQuotes = false;
    line.equals = kNone;
    line.start = position;
    while (line.start < size && IsLineSpace(data[line.start])) {
        ++line.start;
    }
    std::size_t i = line.start;
    while (i < size) {
        while (i < size && !IsSpecial(data[i])) {
            ++i;
        }
        if (i == size) {
            break;
        }
        const char ch = data[i++];
        if (ch == '=') {
            if (!inQuotes && line.equals == kNone) {
                line.equals = i - 1;
            }
        } else if (ch == '\n' || ch == '\r') {
            if (i == line.start + 1) {
                ++line.start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char escaped = data[i++];
                if (i < size && ((escaped == '\n' && data[i] == '\r') ||
                                 (escaped == '\r' && data[i] == '\n'))) {
                    ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (i == line.start + 1) {  // ";" at the start: a comment
            while (i < size && data[i] != '\n' && data[i] != '\r') {
                ++i;
            }
            while (i < size && IsLineSpace(data[i])) {
                ++i;
            }
            line.start = i;
        } else if (!inQuotes) {  // ";" after text: the rest is a comment
            --i;
            break;
        }
    }
    position = i;
    line.length = i - line.start;
    return line.length > 0;
}

// A value's text that reads back the same on a line of its own. Only the
// last line of a file can end where a line break would change it: inside
// double quotes (closed here), or in a backslash that escapes nothing or the
// CR before the added LF (written as the escape "\z", which also adds
// nothing and ends trailing blanks' trimming just as the end of the file did).
std::string Writable(std::string_view raw) {
    std::string value(raw);
    bool inQuotes = false;
    for (std::size_t i = 0; i < value.size();) {
        const char ch = value[i++];
        if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == '\\') {
            if (i == value.size() || (i + 1 == value.size() && value[i] == '\r')) {
                value.resize(i - 1);
                value += "\\z";
                break;
            }
            const char escaped = value[i++];
            if (i < value.size() &&
                ((escaped == '\n' && value[i] == '\r') || (escaped == '\r' && value[i] == '\n'))) {
                ++i;
            }
        }
    }
    if (inQuotes) {
        value += '"';
    }
    return value;
}

// The section header of a section (never the empty one).
std::string Header(std::u16string_view section) {
    const std::string escaped = EscapeName(section);
    // "[General]" in any case is the top level and "[%General]" the section
    // "General": a "%" before the name keeps it a section, in its own case.
    if (EqualsIgnoringCase(escaped, "general")) {
        return "[%" + escaped + "]";
    }
    return '[' + escaped + ']';
}

Name Split(const std::u16string& key) {
    const std::size_t slash = key.find(u'/');
    if (slash == 0 || slash == std::u16string::npos) {
        return {std::u16string(), key};
    }
    return {key.substr(0, slash), key.substr(slash + 1)};
}

}  // namespace

std::string EscapeValue(std::u16string_view value) {
    // QSettings marks its own value types with a leading "@", so a string
    // that begins with one gets a second, and one holding NUL is wrapped.
    std::u16string text;
    if (value.find(u'\0') != std::u16string_view::npos) {
        text = u"@String(";
        text += value;
        text += u')';
    } else {
        if (!value.empty() && value.front() == u'@') {
            text = u"@";
        }
        text += value;
    }

    std::string out;
    bool needsQuotes = false;
    // After a numeric escape a hex digit would read as part of it.
    bool escapeNextIfDigit = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch == u';' || ch == u',' || ch == u'=') {
            needsQuotes = true;
        }
        if (escapeNextIfDigit && IsHexDigit(ch)) {
            out += "\\x" + LowerHex(ch);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
            case u'\0':
                out += "\\0";
                escapeNextIfDigit = true;
                break;
            case u'\a':
                out += "\\a";
                break;
            case u'\b':
                out += "\\b";
                break;
            case u'\f':
                out += "\\f";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\t':
                out += "\\t";
                break;
            case u'\v':
                out += "\\v";
                break;
            case u'"':
            case u'\\':
                out += '\\';
                out += static_cast<char>(ch);
                break;
            default:
                if (ch <= 0x1F) {
                    out += "\\x" + LowerHex(ch);
                    escapeNextIfDigit = true;
                } else if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() &&
                           text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
                    out += ToUtf8(text.substr(i, 2));
                    ++i;
                } else if (ch >= 0xD800 && ch < 0xE000) {
                    // A lone surrogate has no UTF-8 form; QSettings drops it.
                } else {
                    out += ToUtf8(std::u16string_view(&text[i], 1));
                }
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) {
        out = '"' + out + '"';
    }
    return out;
}

Entries Parse(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    // QSettings gathers the lines of each section (a section given twice is
    // one), reads the sections in the order of their names and lets a later
    // key replace an earlier one of the same name.
    struct KeyLine {
        std::u16string prefix;  // the section and "/", or empty for the top level
        std::string_view key;
        std::string_view value;
    };
    std::vector<KeyLine> lines;
    std::u16string prefix;
    std::size_t position = 0;
    LineCut cut;
    while (NextLine(bytes, position, cut)) {
        const std::string_view line = bytes.substr(cut.start, cut.length);
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            const std::string_view name =
                TrimAscii(line.substr(1, close == kNone ? kNone : close - 1));
            if (EqualsIgnoringCase(name, "general")) {
                prefix.clear();
            } else {
                // "[%General]" in any case is the section of that name as
                // written; every other name is unescaped.
                prefix = EqualsIgnoringCase(name, "%general")
                             ? std::u16string(name.begin() + 1, name.end())
                             : UnescapeName(name);
                prefix += u'/';
            }
            continue;
        }
        if (cut.equals == kNone) {
            continue;
        }
        const std::size_t equals = cut.equals - cut.start;
        lines.push_back({prefix, TrimAscii(line.substr(0, equals)), line.substr(equals + 1)});
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const KeyLine& a, const KeyLine& b) { return a.prefix < b.prefix; });

    Entries entries;
    for (const KeyLine& line : lines) {
        entries[Split(line.prefix + UnescapeName(line.key))] = Writable(line.value);
    }
    return entries;
}

std::string Format(const Entries& entries) {
    std::string out;
    const std::u16string* section = nullptr;
    for (const auto& [name, value] : entries) {
        if (section == nullptr || *section != name.first) {
            if (section != nullptr) {
                out += '\n';
            }
            section = &name.first;
            out += section->empty() ? std::string("[General]") : Header(*section);
            out += '\n';
        }
        out += EscapeName(name.second) + '=' + value + '\n';
    }
    return out;
}

}  // namespace trx::settings_ini
