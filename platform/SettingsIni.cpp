#include "platform/SettingsIni.h"

#include "common/Text.h"

namespace trx::settings_ini {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

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

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "%XX", "%UXXXX" and "\" (for "/") undone.
std::u16string UnescapeName(std::string_view raw) {
    const std::u16string text = FromUtf8(raw);
    std::u16string name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch == u'\\') {
            name += u'/';
            continue;
        }
        if (ch == u'%' && i + 5 < text.size() && text[i + 1] == u'U' && IsHexDigit(text[i + 2]) &&
            IsHexDigit(text[i + 3]) && IsHexDigit(text[i + 4]) && IsHexDigit(text[i + 5])) {
            name +=
                static_cast<char16_t>((HexValue(text[i + 2]) << 12) | (HexValue(text[i + 3]) << 8) |
                                      (HexValue(text[i + 4]) << 4) | HexValue(text[i + 5]));
            i += 5;
            continue;
        }
        if (ch == u'%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) &&
            IsHexDigit(text[i + 2])) {
            name += static_cast<char16_t>((HexValue(text[i + 1]) << 4) | HexValue(text[i + 2]));
            i += 2;
            continue;
        }
        name += ch;
    }
    return name;
}

// The value text of a line, trimmed, and without an escape at its end that
// would join the next line once the value is written back: a backslash
// before nothing, or before a line break that continues to nothing.
std::string ValueAsWritable(std::string_view text) {
    std::string value(Trim(text));
    while (true) {
        std::size_t trailing = 0;
        while (trailing < value.size() && value[value.size() - 1 - trailing] == '\\') {
            ++trailing;
        }
        if (trailing % 2 == 1) {
            value.pop_back();
            value = std::string(Trim(value));
            continue;
        }
        const std::string_view end(value);
        std::size_t cut = 0;
        for (const std::string_view lineBreak : {"\\\r\n", "\\\r", "\\\n"}) {
            if (end.ends_with(lineBreak)) {
                cut = lineBreak.size();
                break;
            }
        }
        if (cut == 0) {
            return value;
        }
        value = std::string(Trim(end.substr(0, end.size() - cut)));
    }
}

// The file cut into lines; a backslash takes the character after it into
// its line, a line end included.
template <typename Visit>
void ForEachLine(std::string_view bytes, Visit visit) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char ch = bytes[i];
        if (ch == '\\' && i + 1 < bytes.size()) {
            i += (bytes[i + 1] == '\r' && i + 2 < bytes.size() && bytes[i + 2] == '\n') ? 3 : 2;
            continue;
        }
        if (ch == '\n' || ch == '\r') {
            visit(bytes.substr(start, i - start));
            start = ++i;
            continue;
        }
        ++i;
    }
    if (start < bytes.size()) {
        visit(bytes.substr(start));
    }
}

}  // namespace

std::string EscapeName(std::u16string_view name) {
    std::string out;
    for (const char16_t ch : name) {
        if (ch == u'/') {
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
    Entries entries;
    std::u16string section;
    ForEachLine(bytes, [&](std::string_view line) {
        line = Trim(line);
        if (line.empty() || line.front() == ';') {
            return;
        }
        if (line.front() == '[') {
            const auto end = line.find(']');
            const std::string_view raw =
                line.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
            if (EqualsIgnoringCase(raw, "general")) {
                section.clear();
            } else if (EqualsIgnoringCase(raw, "%general")) {
                section = u"General";
            } else {
                section = UnescapeName(raw);
                // QSettings writes every such name as "[%General]", which
                // reads back as "General".
                if (section.size() == 7 && EqualsIgnoringCase(ToUtf8(section), "general")) {
                    section = u"General";
                }
            }
            return;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            return;
        }
        // As in QSettings, the name before the first "/" is the section, and
        // "/" at either end or twice in a row counts as none.
        const std::u16string joined = section + u'/' + UnescapeName(Trim(line.substr(0, equals)));
        std::u16string full;
        for (const char16_t ch : joined) {
            if (ch != u'/' || (!full.empty() && full.back() != u'/')) {
                full += ch;
            }
        }
        if (!full.empty() && full.back() == u'/') {
            full.pop_back();
        }
        const auto slash = full.find(u'/');
        Name name = slash == std::u16string::npos
                        ? Name{std::u16string(), full}
                        : Name{full.substr(0, slash), full.substr(slash + 1)};
        entries[std::move(name)] = ValueAsWritable(line.substr(equals + 1));
    });
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
            const std::string escaped = EscapeName(name.first);
            if (escaped.empty()) {
                out += "[General]\n";
            } else if (EqualsIgnoringCase(escaped, "general")) {
                out += "[%General]\n";
            } else {
                out += '[' + escaped + "]\n";
            }
        }
        out += EscapeName(name.second) + '=' + value + '\n';
    }
    return out;
}

}  // namespace trx::settings_ini
