#include "automation/dbus/WireSize.h"

#include <QAssociativeIterable>
#include <QByteArray>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QSequentialIterable>
#include <QStringList>

#include <optional>
#include <unordered_map>

namespace trx {
namespace {

// Where the first complete type of signature ends.
qsizetype CompleteTypeEnd(QStringView signature, qsizetype at = 0) {
    while (at < signature.size() && signature[at] == u'a') {
        ++at;
    }
    if (at >= signature.size()) {
        return signature.size();
    }
    const QChar open = signature[at];
    if (open != u'(' && open != u'{') {
        return at + 1;
    }
    const QChar close = open == u'(' ? u')' : u'}';
    int depth = 0;
    for (; at < signature.size(); ++at) {
        if (signature[at] == open) {
            ++depth;
        } else if (signature[at] == close && --depth == 0) {
            return at + 1;
        }
    }
    return signature.size();
}

int AlignmentOf(QChar code) {
    switch (code.unicode()) {
        case 'y':
        case 'g':
        case 'v':
            return 1;
        case 'n':
        case 'q':
            return 2;
        case 'x':
        case 't':
        case 'd':
        case '(':
        case '{':
            return 8;
        default:
            return 4;
    }
}

std::int64_t Utf8Length(const QString& text) {
    std::int64_t bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

class Counter {
  public:
    bool Arguments(const QVariantList& arguments) {
        for (const QVariant& argument : arguments) {
            const QString* signature = SignatureOf(argument.metaType());
            if (signature == nullptr || !Value(*signature, argument)) {
                return false;
            }
        }
        return true;
    }

    std::int64_t Size() const { return size_; }

  private:
    void Align(int to) { size_ = (size_ + to - 1) / to * to; }

    // A value in a variant: its signature, then the value.
    bool Variant(const QVariant& held) {
        QVariant value = held;
        if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
            value = value.value<QDBusVariant>().variant();
        }
        const QString* type = SignatureOf(value.metaType());
        if (type == nullptr) {
            return false;
        }
        size_ += 1 + type->size() + 1;
        return Value(*type, value);
    }

    // The D-Bus signature of a type, or nullptr; looked up once per type, as
    // a record set asks for it of every value.
    const QString* SignatureOf(QMetaType type) {
        auto found = signatures_.find(type.id());
        if (found == signatures_.end()) {
            const char* signature = QDBusMetaType::typeToSignature(type);
            found = signatures_
                        .emplace(type.id(), signature == nullptr
                                                ? std::nullopt
                                                : std::optional(QString::fromLatin1(signature)))
                        .first;
        }
        return found->second ? &*found->second : nullptr;
    }

    bool Value(QStringView type, const QVariant& value) {
        if (type.isEmpty()) {
            return false;
        }
        const QChar code = type[0];
        switch (code.unicode()) {
            case 'y':
                size_ += 1;
                return true;
            case 'n':
            case 'q':
                Align(2);
                size_ += 2;
                return true;
            case 'b':
            case 'i':
            case 'u':
            case 'h':
                Align(4);
                size_ += 4;
                return true;
            case 'x':
            case 't':
            case 'd':
                Align(8);
                size_ += 8;
                return true;
            case 's':
                Align(4);
                size_ += 4 + Utf8Length(value.toString()) + 1;
                return true;
            case 'o':
                Align(4);
                size_ += 4 + Utf8Length(value.value<QDBusObjectPath>().path()) + 1;
                return true;
            case 'g':
                size_ += 1 + value.value<QDBusSignature>().signature().size() + 1;
                return true;
            case 'v':
                return Variant(value);
            case 'a':
                return Array(type.mid(1), value);
            case '(':
                return Struct(type.mid(1, type.size() - 2), value);
            default:
                return false;
        }
    }

    bool Array(QStringView element, const QVariant& value) {
        Align(4);
        size_ += 4;
        Align(AlignmentOf(element[0]));
        if (element == u"y") {
            size_ += value.toByteArray().size();
            return true;
        }
        if (element[0] == u'{') {
            if (!value.canView<QAssociativeIterable>()) {
                return false;
            }
            const QStringView inner = element.mid(1, element.size() - 2);
            const qsizetype keyEnd = CompleteTypeEnd(inner);
            const auto map = value.value<QAssociativeIterable>();
            for (auto it = map.begin(); it != map.end(); ++it) {
                Align(8);
                if (!Value(inner.left(keyEnd), it.key()) || !Value(inner.mid(keyEnd), it.value())) {
                    return false;
                }
            }
            return true;
        }
        if (value.metaType() == QMetaType::fromType<QStringList>()) {
            for (const QString& text : value.toStringList()) {
                if (!Value(element, text)) {
                    return false;
                }
            }
            return true;
        }
        // A record set's rows (aav) are walked directly: the generic
        // iteration copies every value, and the rows are a reply's bulk.
        if (value.metaType() == QMetaType::fromType<QVariantList>()) {
            return Elements(element, *static_cast<const QVariantList*>(value.constData()));
        }
        if (value.metaType() == QMetaType::fromType<QList<QVariantList>>() && element == u"av") {
            for (const QVariantList& row :
                 *static_cast<const QList<QVariantList>*>(value.constData())) {
                Align(4);
                size_ += 4;
                if (!Elements(element.mid(1), row)) {
                    return false;
                }
            }
            return true;
        }
        if (!value.canView<QSequentialIterable>()) {
            return false;
        }
        for (const QVariant& item : value.value<QSequentialIterable>()) {
            if (!Value(element, item)) {
                return false;
            }
        }
        return true;
    }

    bool Elements(QStringView element, const QVariantList& items) {
        for (const QVariant& item : items) {
            if (!Value(element, item)) {
                return false;
            }
        }
        return true;
    }

    bool Struct(QStringView members, const QVariant& value) {
        Align(8);
        if (!value.canConvert<QVariantList>()) {
            return false;
        }
        const QVariantList fields = value.value<QVariantList>();
        qsizetype at = 0;
        for (const QVariant& field : fields) {
            const qsizetype end = CompleteTypeEnd(members, at);
            if (end <= at || !Value(members.mid(at, end - at), field)) {
                return false;
            }
            at = end;
        }
        return at == members.size();
    }

    std::int64_t size_ = 0;
    std::unordered_map<int, std::optional<QString>> signatures_;
};

}  // namespace

std::optional<std::int64_t> MarshalledBodySize(const QVariantList& arguments) {
    Counter counter;
    if (!counter.Arguments(arguments)) {
        return std::nullopt;
    }
    return counter.Size();
}

}  // namespace trx
