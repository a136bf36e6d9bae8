#include "common/RecordSetQuery.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstdint>

#include "common/AutomationDate.h"

namespace trx {

namespace {

using Kind = RecordSetQueryError::Kind;

[[noreturn]] void Invalid(const char* what) {
    throw RecordSetQueryError(Kind::Invalid, what);
}

// Folds ASCII and Latin-1 letters to lower case: enough for field names
// and the texts of a combo list compared without regard to case.
char16_t Fold(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<char16_t>(c + 0x20);
    }
    return c;
}

std::weak_ordering CompareText(std::u16string_view a, std::u16string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = Fold(a[i]);
        const char16_t y = Fold(b[i]);
        if (x != y) {
            return x <=> y;
        }
    }
    return a.size() <=> b.size();
}

// * and % stand for any run of characters.
bool Like(std::u16string_view text, std::u16string_view pattern) {
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t star = std::u16string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'*' || pattern[p] == u'%')) {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && Fold(pattern[p]) == Fold(text[t])) {
            ++p;
            ++t;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && (pattern[p] == u'*' || pattern[p] == u'%')) {
        ++p;
    }
    return p == pattern.size();
}

std::optional<double> NumberOf(std::u16string_view text) {
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7F) {
            return std::nullopt;
        }
        ascii += static_cast<char>(c);
    }
    if (ascii.empty()) {
        return std::nullopt;
    }
    std::size_t used = 0;
    try {
        const double value = std::stod(ascii, &used);
        return used == ascii.size() ? std::optional<double>(value) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A cell as a number, for numeric fields and dates.
std::optional<double> NumberOf(const Cell& cell) {
    return std::visit(
        Overloaded{
            [](std::int64_t v) -> std::optional<double> { return double(v); },
            [](double v) -> std::optional<double> { return v; },
            [](bool v) -> std::optional<double> { return v ? -1.0 : 0.0; },
            [](const DecimalCell& v) { return NumberOf(v.digits); },
            [](const DateTime& v) -> std::optional<double> { return ToAutomationDateValue(v); },
            [](const auto&) -> std::optional<double> { return std::nullopt; },
        },
        cell);
}

std::optional<double> NumberOf(const FieldValue& value) {
    return std::visit(
        Overloaded{
            [](std::int64_t v) -> std::optional<double> { return double(v); },
            [](double v) -> std::optional<double> { return v; },
            [](bool v) -> std::optional<double> { return v ? -1.0 : 0.0; },
            [](const std::u16string& v) { return NumberOf(std::u16string_view(v)); },
            [](const DateTime& v) -> std::optional<double> { return ToAutomationDateValue(v); },
            [](const auto&) -> std::optional<double> { return std::nullopt; },
        },
        value);
}

// Reads criteria and sort orders word by word.
class Reader {
  public:
    Reader(const RecordSet& rows, std::u16string_view text) : rows_(rows), text_(text) {}

    bool AtEnd() {
        SkipSpace();
        return at_ == text_.size();
    }
    bool Take(char16_t c) {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    // A word (AND, OR, LIKE, ASC, DESC, NULL) in any case, standing alone.
    bool TakeWord(std::u16string_view word) {
        SkipSpace();
        if (text_.size() - at_ < word.size() ||
            CompareText(text_.substr(at_, word.size()), word) != 0) {
            return false;
        }
        const std::size_t end = at_ + word.size();
        if (end < text_.size() && IsNameChar(text_[end])) {
            return false;
        }
        at_ = end;
        return true;
    }
    // A field name, plain or in brackets.
    std::size_t Column() {
        SkipSpace();
        std::u16string_view name;
        if (Take(u'[')) {
            const std::size_t end = text_.find(u']', at_);
            if (end == std::u16string_view::npos) {
                Invalid("a field name in [ lacks its ]");
            }
            name = text_.substr(at_, end - at_);
            at_ = end + 1;
        } else {
            const std::size_t start = at_;
            while (at_ < text_.size() && IsNameChar(text_[at_])) {
                ++at_;
            }
            name = text_.substr(start, at_ - start);
        }
        if (name.empty()) {
            Invalid("a field name is missing");
        }
        for (std::size_t c = 0; c < rows_.FieldCount(); ++c) {
            if (CompareText(rows_.FieldAt(c).name, name) == 0) {
                return c;
            }
        }
        throw RecordSetQueryError(Kind::UnknownField, "no such field");
    }
    RecordSetCriterion Criterion() {
        using Op = RecordSetCriterion::Op;
        RecordSetCriterion criterion;
        criterion.column = Column();
        SkipSpace();
        if (TakeWord(u"LIKE")) {
            criterion.op = Op::Like;
        } else if (Take(u'<')) {
            criterion.op = Take(u'>') ? Op::NotEqual : Take(u'=') ? Op::LessEqual : Op::Less;
        } else if (Take(u'>')) {
            criterion.op = Take(u'=') ? Op::GreaterEqual : Op::Greater;
        } else if (Take(u'=')) {
            criterion.op = Op::Equal;
        } else {
            Invalid("a comparison is missing");
        }
        criterion.value = Literal();
        if (criterion.op == Op::Like && !std::holds_alternative<std::u16string>(criterion.value)) {
            Invalid("LIKE needs a text");
        }
        return criterion;
    }

  private:
    static bool IsNameChar(char16_t c) {
        return c == u'_' || (c >= u'0' && c <= u'9') || Fold(c) != c || (c >= u'a' && c <= u'z') ||
               c >= 0xDF;
    }
    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == u' ' || text_[at_] == u'\t')) {
            ++at_;
        }
    }
    FieldValue Literal() {
        SkipSpace();
        if (TakeWord(u"NULL")) {
            return Null{};
        }
        if (Take(u'\'')) {
            std::u16string text;
            for (;;) {
                if (at_ >= text_.size()) {
                    Invalid("a text lacks its closing quote");
                }
                if (text_[at_] == u'\'') {
                    if (at_ + 1 < text_.size() && text_[at_ + 1] == u'\'') {
                        text += u'\'';
                        at_ += 2;
                        continue;
                    }
                    ++at_;
                    return text;
                }
                text += text_[at_++];
            }
        }
        if (Take(u'#')) {
            const std::size_t end = text_.find(u'#', at_);
            if (end == std::u16string_view::npos) {
                Invalid("a date lacks its closing #");
            }
            const std::u16string_view date = text_.substr(at_, end - at_);
            at_ = end + 1;
            return DateOf(date);
        }
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] != u' ' && text_[at_] != u')') {
            ++at_;
        }
        const std::optional<double> number = NumberOf(text_.substr(start, at_ - start));
        if (!number) {
            Invalid("a value is neither a text, a number, a date nor NULL");
        }
        return *number;
    }
    // yyyy-mm-dd or mm/dd/yyyy, then hh:mm[:ss] if given.
    static DateTime DateOf(std::u16string_view text) {
        int parts[6] = {0, 0, 0, 0, 0, 0};
        int count = 0;
        bool slashes = false;
        bool digit = false;
        for (char16_t c : text) {
            if (c >= u'0' && c <= u'9') {
                if (!digit && count == 6) {
                    Invalid("a date has too many parts");
                }
                if (!digit) {
                    ++count;
                }
                parts[count - 1] = parts[count - 1] * 10 + (c - u'0');
                digit = parts[count - 1] < 100000;
                if (!digit) {
                    Invalid("a date part is too long");
                }
            } else {
                slashes = slashes || c == u'/';
                digit = false;
            }
        }
        CalendarDateTime value;
        if (count == 3 || count >= 5) {
            value.year = slashes ? parts[2] : parts[0];
            value.month = slashes ? parts[0] : parts[1];
            value.day = slashes ? parts[1] : parts[2];
            value.hour = parts[3];
            value.minute = parts[4];
            value.second = parts[5];
        } else {
            Invalid("a date is neither yyyy-mm-dd nor mm/dd/yyyy");
        }
        const std::optional<double> day = ToAutomationDate(value);
        const std::optional<DateTime> date =
            day ? FromAutomationDateValue(*day) : std::optional<DateTime>();
        if (!date) {
            Invalid("a date that does not exist");
        }
        return *date;
    }

    const RecordSet& rows_;
    std::u16string_view text_;
    std::size_t at_ = 0;
};

// filter := term (OR term)*; term := factor (AND factor)*;
// factor := ( filter ) | criterion. Each is kept as a small tree.
struct Node {
    enum class Kind { Criterion, And, Or } kind = Kind::Criterion;
    RecordSetCriterion criterion;
    std::vector<Node> parts;

    bool Matches(const RecordSet& rows, std::size_t record) const {
        switch (kind) {
            case Kind::Criterion:
                return criterion.Matches(rows, record);
            case Kind::And:
                return std::all_of(parts.begin(), parts.end(),
                                   [&](const Node& n) { return n.Matches(rows, record); });
            case Kind::Or:
                return std::any_of(parts.begin(), parts.end(),
                                   [&](const Node& n) { return n.Matches(rows, record); });
        }
        return false;
    }
};

Node ParseOr(Reader& reader, int depth);

Node ParseFactor(Reader& reader, int depth) {
    if (depth > 32) {
        Invalid("a filter nests too deep");
    }
    if (reader.Take(u'(')) {
        Node inner = ParseOr(reader, depth + 1);
        if (!reader.Take(u')')) {
            Invalid("a ( lacks its )");
        }
        return inner;
    }
    Node node;
    node.criterion = reader.Criterion();
    return node;
}

Node ParseAnd(Reader& reader, int depth) {
    Node node{Node::Kind::And, {}, {ParseFactor(reader, depth)}};
    while (reader.TakeWord(u"AND")) {
        node.parts.push_back(ParseFactor(reader, depth));
    }
    return node.parts.size() == 1 ? std::move(node.parts.front()) : node;
}

Node ParseOr(Reader& reader, int depth) {
    Node node{Node::Kind::Or, {}, {ParseAnd(reader, depth)}};
    while (reader.TakeWord(u"OR")) {
        node.parts.push_back(ParseAnd(reader, depth));
    }
    return node.parts.size() == 1 ? std::move(node.parts.front()) : node;
}

// NULL before every value, then the values in their field's order.
std::weak_ordering CompareCells(const Cell& a, const Cell& b) {
    const bool aNull = std::holds_alternative<Null>(a);
    const bool bNull = std::holds_alternative<Null>(b);
    if (aNull || bNull) {
        return bNull <=> aNull;
    }
    if (const auto* x = std::get_if<TextCell>(&a)) {
        return CompareText(x->text, std::get<TextCell>(b).text);
    }
    if (const auto* x = std::get_if<BinaryCell>(&a)) {
        const auto& y = std::get<BinaryCell>(b);
        return std::lexicographical_compare_three_way(x->bytes.begin(), x->bytes.end(),
                                                      y.bytes.begin(), y.bytes.end());
    }
    const double x = NumberOf(a).value_or(0);
    const double y = NumberOf(b).value_or(0);
    return x < y   ? std::weak_ordering::less
           : y < x ? std::weak_ordering::greater
                   : std::weak_ordering::equivalent;
}

}  // namespace

bool RecordSetCriterion::Matches(const RecordSet& rows, std::size_t record) const {
    const Cell cell = rows.CellAt(record, column);
    const bool cellNull = std::holds_alternative<Null>(cell);
    if (std::holds_alternative<Null>(value)) {
        return op == Op::Equal ? cellNull : op == Op::NotEqual && !cellNull;
    }
    if (cellNull) {
        return false;
    }
    std::partial_ordering order = std::partial_ordering::unordered;
    if (const auto* text = std::get_if<TextCell>(&cell)) {
        const auto* given = std::get_if<std::u16string>(&value);
        if (given == nullptr) {
            return false;
        }
        if (op == Op::Like) {
            return Like(text->text, *given);
        }
        order = CompareText(text->text, *given);
    } else {
        const std::optional<double> x = NumberOf(cell);
        const std::optional<double> y = NumberOf(value);
        if (!x || !y || op == Op::Like) {
            return false;
        }
        order = *x <=> *y;
    }
    switch (op) {
        case Op::Equal:
            return order == 0;
        case Op::NotEqual:
            return order != 0;
        case Op::Less:
            return order < 0;
        case Op::Greater:
            return order > 0;
        case Op::LessEqual:
            return order <= 0;
        case Op::GreaterEqual:
            return order >= 0;
        case Op::Like:
            break;
    }
    return false;
}

RecordSetCriterion ParseRecordSetCriterion(const RecordSet& rows, std::u16string_view text) {
    Reader reader(rows, text);
    RecordSetCriterion criterion = reader.Criterion();
    if (!reader.AtEnd()) {
        Invalid("Find takes one comparison");
    }
    return criterion;
}

std::vector<std::size_t> FilterRecords(const RecordSet& rows, const std::vector<std::size_t>& order,
                                       std::u16string_view filter) {
    Reader reader(rows, filter);
    const Node node = ParseOr(reader, 0);
    if (!reader.AtEnd()) {
        Invalid("a filter goes on after its end");
    }
    std::vector<std::size_t> kept;
    for (std::size_t record : order) {
        if (node.Matches(rows, record)) {
            kept.push_back(record);
        }
    }
    return kept;
}

std::vector<std::size_t> SortRecords(const RecordSet& rows, std::vector<std::size_t> order,
                                     std::u16string_view sort) {
    struct Key {
        std::size_t column;
        bool descending;
    };
    std::vector<Key> keys;
    Reader reader(rows, sort);
    while (!reader.AtEnd()) {
        Key key{reader.Column(), false};
        if (reader.TakeWord(u"DESC")) {
            key.descending = true;
        } else {
            reader.TakeWord(u"ASC");
        }
        keys.push_back(key);
        if (!reader.AtEnd() && !reader.Take(u',')) {
            Invalid("sort keys are separated by commas");
        }
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        for (const Key& key : keys) {
            const std::weak_ordering by =
                CompareCells(rows.CellAt(a, key.column), rows.CellAt(b, key.column));
            if (by != 0) {
                return key.descending ? by > 0 : by < 0;
            }
        }
        return a < b;
    });
    return order;
}

}  // namespace trx
