#pragma once

#include "automation/ClassDescription.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <string_view>

namespace trx {

// How each automation type travels on the bus: text s, automation boolean n
// (-1 true, 0 false), 32-bit integer i, automation date d, and a record set
// as two arguments, fields a(ss) and rows aav (RecordSetWire.h). This is the
// one place that names D-Bus signatures.
namespace signatures {
inline constexpr char16_t kText[] = u"s";
inline constexpr char16_t kInt16[] = u"n";
inline constexpr char16_t kInt32[] = u"i";
inline constexpr char16_t kInt64[] = u"x";
inline constexpr char16_t kDouble[] = u"d";
inline constexpr char16_t kBoolean[] = u"b";
inline constexpr char16_t kBytes[] = u"ay";
// NULL in a record set's row: a variant that holds an empty av.
inline constexpr char16_t kNull[] = u"av";
inline constexpr char16_t kFields[] = u"a(ss)";
inline constexpr char16_t kRows[] = u"aav";
// The in-arguments of org.freedesktop.DBus.Properties' Get, Set and GetAll.
inline constexpr char16_t kPropertyGet[] = u"ss";
inline constexpr char16_t kPropertySet[] = u"ssv";
inline constexpr char16_t kPropertyGetAll[] = u"s";
}  // namespace signatures

// The length of a message body as the wire format lays it out, counted by
// the code that makes the arguments, value by value as it makes them: each
// value starts at its own alignment. Text counts up to three bytes of UTF-8
// a UTF-16 unit, so the count is exact for ASCII and never below the truth.
class BodyLength {
  public:
    // A value of fixed size (n 2, i and b 4, x and d 8), aligned to its size.
    void Fixed(int size) {
        Align(size);
        bytes_ += size;
    }
    // s: a length, the UTF-8 and a nul.
    void Text(std::u16string_view text) {
        Fixed(4);
        std::int64_t utf8 = 1;
        for (const char16_t c : text) {
            utf8 += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
        bytes_ += utf8;
    }
    // ay: a length and the bytes.
    void Bytes(std::int64_t size) {
        Fixed(4);
        bytes_ += size;
    }
    // The start of an array: its length, then the padding to its first
    // element (alignment 8 for a struct or dict entry, 1 for a variant).
    void Array(int elementAlignment) {
        Fixed(4);
        Align(elementAlignment);
    }
    void Struct() { Align(8); }
    // A variant's signature; its value is counted after it.
    void Variant(std::u16string_view signature) {
        bytes_ += 2 + static_cast<std::int64_t>(signature.size());
    }
    std::int64_t Total() const { return bytes_; }

  private:
    void Align(int boundary) { bytes_ = (bytes_ + boundary - 1) / boundary * boundary; }
    std::int64_t bytes_ = 0;
};

// One argument by which a parameter or result travels.
struct DBusArg {
    QString name;
    QString signature;
};

// The arguments by which a parameter or result travels: none for Empty, two
// for a record set (fields, rows), otherwise one named after it.
QList<DBusArg> DBusArgs(const ParamInfo& param);
// All of them in one signature.
QString DBusSignature(ValueType type);

// What introspection adds to a type that its signature does not tell apart
// (an automation date is a d like any double): the value of the annotation
// TRX.Automation.Type, or empty.
QString DBusTypeAnnotation(ValueType type);

// The type that an argument of this signature and annotation carries;
// nullopt for one that no automation type travels as.
std::optional<ValueType> TypeOfDBus(const QString& signature, const QString& annotation = {});

// The arguments that carry value; length counts them on.
QVariantList ToDBus(const Value& value, BodyLength& length);
QVariantList ToDBus(const Value& value);
// A value of type from the arguments that carry it, as a call or a reply
// delivers them; nullopt when they do not hold one. Throws
// RecordSetWireError for a malformed record set.
std::optional<Value> FromDBus(const QVariantList& args, ValueType type);

// A default value as introspection writes it.
QString DBusText(const Value& value);

// The signature of one value as QtDBus would send it.
QString DBusSignatureOf(const QVariant& value);

}  // namespace trx
