// The client layer's record-set decoding on arbitrary field lists and rows:
// the input's bytes choose the fields (a known or a made-up type name), the
// row count and the type and value of every cell, as a reply could carry
// them. A malformed set must be refused with RecordSetWireError, nothing else.

#include "automation/dbus/RecordSetWire.h"
#include "FuzzCheck.h"

#include <QByteArray>
#include <QDBusVariant>
#include <QList>
#include <QVariant>

#include <cstdint>
#include <cstring>

namespace {

// Hands out the input's bytes; zeros once they are used up.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    template <class T>
    T Raw() {
        T value{};
        unsigned char buffer[sizeof(T)] = {};
        for (unsigned char& byte : buffer) {
            byte = Next();
        }
        std::memcpy(&value, buffer, sizeof(T));
        return value;
    }
    QByteArray Block() {
        const std::size_t length = Next() % 48;
        QByteArray block;
        for (std::size_t i = 0; i < length; ++i) {
            block.push_back(static_cast<char>(Next()));
        }
        return block;
    }
    QString Text() {
        const QByteArray block = Block();
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(block.constData()),
                                  block.size() / 2);
    }
    bool Done() const { return at_ >= size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

const char* const kTypes[] = {"text", "integer", "double", "decimal", "boolean", "date", "binary"};

QVariant Cell(Bytes& in) {
    const std::uint8_t kind = in.Next();
    QVariant value;
    switch (kind % 11) {
        case 0:
            value = in.Text();
            break;
        case 1:
            value = QVariant::fromValue<qlonglong>(in.Raw<qlonglong>());
            break;
        case 2:
            value = QVariant::fromValue<double>(in.Raw<double>());
            break;
        case 3:
            value = QVariant::fromValue<bool>((in.Next() & 1) != 0);
            break;
        case 4:
            value = in.Block();
            break;
        case 5:
            value = QVariant::fromValue(QVariantList());
            break;  // NULL
        case 6:
            value = QVariant::fromValue<int>(in.Raw<int>());
            break;
        case 7:
            value = QVariant();
            break;
        case 8:
            value = QVariant::fromValue(QVariantList{in.Text()});
            break;
        case 9:
            value = QVariant::fromValue<qulonglong>(in.Raw<qulonglong>());
            break;
        default:
            value = QVariant::fromValue<short>(in.Raw<short>());
            break;
    }
    // Cells arrive wrapped in a variant, as av carries them, or bare.
    return (kind & 0x80) != 0 ? QVariant::fromValue(QDBusVariant(value)) : value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trx::RegisterRecordSetWireTypes();
    Bytes in(data, size);
    QList<trx::WireField> fields;
    const int fieldCount = in.Next() % 5;
    for (int f = 0; f < fieldCount; ++f) {
        const std::uint8_t pick = in.Next();
        fields.push_back(
            {in.Text(), pick < 240 ? QString::fromLatin1(kTypes[pick % 7]) : in.Text()});
    }
    QList<QVariantList> rows;
    const int rowCount = in.Next() % 17;
    for (int r = 0; r < rowCount; ++r) {
        QVariantList row;
        // Mostly as many cells as fields; sometimes one more or one less.
        const std::uint8_t shape = in.Next();
        const int cells = fieldCount + (shape == 255 ? 1 : shape == 254 ? -1 : 0);
        for (int c = 0; c < cells; ++c) {
            row.push_back(Cell(in));
        }
        rows.push_back(row);
    }
    try {
        const auto set =
            trx::DecodeRecordSet(QVariant::fromValue(fields), QVariant::fromValue(rows));
        if (set) {
            TRX_FUZZ_CHECK(set->FieldCount() == static_cast<std::size_t>(fields.size()));
            TRX_FUZZ_CHECK(set->RecordCount() == static_cast<std::size_t>(rows.size()));
            // What was decoded encodes again, to the same shape.
            const QVariantList again = trx::EncodeRecordSet(set.get());
            TRX_FUZZ_CHECK(again.size() == 2);
            TRX_FUZZ_CHECK(again[1].value<QList<QVariantList>>().size() == rows.size());
        } else {
            TRX_FUZZ_CHECK(fields.isEmpty());
        }
    } catch (const trx::RecordSetWireError&) {
        // A refusal is the sound answer to a malformed set.
    }
    return 0;
}
