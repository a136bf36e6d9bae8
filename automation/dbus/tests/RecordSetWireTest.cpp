#include "automation/dbus/DBusType.h"
#include "automation/dbus/RecordSetWire.h"
#include "tests/support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>

#include <gtest/gtest.h>

#include <limits>

namespace trx {
namespace {

using namespace std::chrono_literals;

const std::uint8_t kBytes[] = {0, 1, 0xFF, 0};

// A row of every type with values that a careless encoding would bend
// (non-ASCII text, 64-bit extremes, decimal digits beyond a double, bytes
// with 0, a date before 1899 with a time of day), a row of NULLs, and a row
// of empty values that must not turn into NULL.
std::shared_ptr<const RecordSet> EveryType() {
    RecordSetBuilder b;
    b.AddField(u"Text", FieldType::Text);
    b.AddField(u"Integer", FieldType::Integer);
    b.AddField(u"Double", FieldType::Double);
    b.AddField(u"Decimal", FieldType::Decimal);
    b.AddField(u"Boolean", FieldType::Boolean);
    b.AddField(u"Date", FieldType::Date);
    b.AddField(u"Binary", FieldType::Binary);
    b.AppendText(0, u"Grüße, Łódź");
    b.AppendInteger(1, std::numeric_limits<std::int64_t>::min());
    b.AppendDouble(2, -0.1);
    b.AppendText(3, u"12345678901234567890.0123456789");
    b.AppendBoolean(4, true);
    b.AppendDate(5, DateTime{1899, 12, 29, 6, 0, 0, 0});
    b.AppendBinary(6, kBytes, sizeof kBytes);
    for (std::size_t c = 0; c < 7; ++c) {
        b.AppendNull(c);
    }
    b.AppendText(0, u"");
    b.AppendInteger(1, std::numeric_limits<std::int64_t>::max());
    b.AppendDouble(2, 0.0);
    b.AppendText(3, u"-0.00");
    b.AppendBoolean(4, false);
    b.AppendDate(5, DateTime{2024, 2, 29, 23, 59, 58, 500000000});
    b.AppendBinary(6, nullptr, 0);
    return b.Build();
}

void ExpectSame(const RecordSet& got, const RecordSet& want) {
    ASSERT_EQ(got.FieldCount(), want.FieldCount());
    ASSERT_EQ(got.RecordCount(), want.RecordCount());
    for (std::size_t c = 0; c < want.FieldCount(); ++c) {
        EXPECT_EQ(got.FieldAt(c).name, want.FieldAt(c).name);
        EXPECT_EQ(got.FieldAt(c).type, want.FieldAt(c).type);
        for (std::size_t r = 0; r < want.RecordCount(); ++r) {
            EXPECT_TRUE(got.Value(r, c) == want.Value(r, c)) << "row " << r << " column " << c;
        }
    }
}

TEST(RecordSetWireTest, EveryTypeAndNullComeBackAsTheyWent) {
    const auto sent = EveryType();
    const QVariantList wire = EncodeRecordSet(sent.get());
    ASSERT_EQ(wire.size(), 2);
    const auto back = DecodeRecordSet(wire[0], wire[1]);
    ASSERT_NE(back, nullptr);
    ExpectSame(*back, *sent);
}

TEST(RecordSetWireTest, FieldsCarryTheWireNamesOfTheirTypes) {
    const QVariantList wire = EncodeRecordSet(EveryType().get());
    const auto fields = wire[0].value<QList<WireField>>();
    QStringList types;
    for (const auto& field : fields) {
        types << field.type;
    }
    EXPECT_EQ(types.join(u','), QStringLiteral("text,integer,double,decimal,boolean,date,binary"));
}

TEST(RecordSetWireTest, NothingIsNoFieldsAndNoRowsAndComesBackAsNothing) {
    const QVariantList wire = EncodeRecordSet(nullptr);
    EXPECT_TRUE(wire[0].value<QList<WireField>>().isEmpty());
    EXPECT_TRUE(wire[1].value<QList<QVariantList>>().isEmpty());
    EXPECT_EQ(DecodeRecordSet(wire[0], wire[1]), nullptr);
    // A list with fields but no rows is a record set, not nothing.
    RecordSetBuilder b;
    b.AddField(u"Name", FieldType::Text);
    const QVariantList empty = EncodeRecordSet(b.Build().get());
    const auto back = DecodeRecordSet(empty[0], empty[1]);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->RecordCount(), 0u);
}

TEST(RecordSetWireTest, MalformedRecordSetsAreRefused) {
    RegisterRecordSetWireTypes();
    const QList<WireField> one{{QStringLiteral("A"), QStringLiteral("integer")}};
    struct Case {
        const char* what;
        QList<WireField> fields;
        QList<QVariantList> rows;
    } cases[] = {
        {"rows without fields", {}, {{QVariant(1)}}},
        {"unknown type", {{QStringLiteral("A"), QStringLiteral("money")}}, {}},
        {"short row", one, {{}}},
        {"text in an integer field", one, {{QStringLiteral("1")}}},
        {"int32 in an integer field", one, {{QVariant(1)}}},
    };
    for (const auto& c : cases) {
        EXPECT_THROW(DecodeRecordSet(QVariant::fromValue(c.fields), QVariant::fromValue(c.rows)),
                     RecordSetWireError)
            << c.what;
    }
}

// The size check before every reply uses the count made while encoding; it
// must count what the wire format makes of the rows, padding, UTF-8 and
// NULLs included.
TEST(RecordSetWireTest, ARecordSetsBodySizeIsCountedAsTheWireFormatLaysItOut) {
    RecordSetBuilder b;
    b.AddField(u"tx", FieldType::Text);
    b.AddField(u"n", FieldType::Integer);
    b.AppendText(0, u"\u00e4b");
    b.AppendInteger(1, 5);
    b.AppendNull(0);
    b.AppendNull(1);
    // a(ss): length 4, pad to 8, ("tx" 7, pad 1, "text" 9), pad to 32,
    // ("n" 6, pad 2, "integer" 12) = 52. aav: length 4 = 56; row 1: length
    // 4, v "s" 3, pad 1, "äb" 8, v "x" 3, pad 5, 8 = 88; row 2: length 4,
    // two NULLs (v "av" 4, empty array 4) = 108.
    BodyLength length;
    EncodeRecordSet(b.Build().get(), length);
    EXPECT_EQ(length.Total(), 108);
}

TEST(RecordSetWireTest, AutomationDatesOfDaysAndTimes) {
    struct Case {
        DateTime date;
        double value;
    } cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1899, 12, 29, 6, 0, 0, 0}, -1.25},  // the fraction counts forward below day 0
        {{1900, 1, 1, 12, 0, 0, 0}, 2.5},
        {{2000, 1, 1, 0, 0, 0, 0}, 36526.0},
        {{100, 1, 1, 0, 0, 0, 0}, -657434.0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ToAutomationDateValue(c.date), c.value) << c.value;
        EXPECT_EQ(FromAutomationDateValue(c.value), c.date) << c.value;
    }
    // 23:59:59.9996 rounds up into the next day.
    EXPECT_EQ(FromAutomationDateValue(1.0 - 0.0004 / 86400.0), (DateTime{1899, 12, 31}));
}

// Answers every call with the encoded record set, so that the test sees it
// the way a client does: marshalled by one connection, unmarshalled by another.
class RecordSetEcho final : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusMessage reply = message.createReply();
        const auto set = EveryType();
        const QVariantList wire =
            EncodeRecordSet(message.member() == u"Nothing" ? nullptr : set.get());
        reply.setArguments(wire);
        connection.send(reply);
        return true;
    }
};

TEST(RecordSetWireTest, EveryTypeAndNullSurviveTheBus) {
    test::PrivateBus bus;
    QDBusConnection server = bus.NewConnection();
    RecordSetEcho echo;
    ASSERT_TRUE(server.registerVirtualObject(QStringLiteral("/echo"), &echo));
    for (const QString& member : {QStringLiteral("Set"), QStringLiteral("Nothing")}) {
        const auto call = QDBusMessage::createMethodCall(
            server.baseService(), QStringLiteral("/echo"), QStringLiteral("test.Echo"), member);
        QDBusPendingCall pending = bus.Connection().asyncCall(call);
        ASSERT_TRUE(test::WaitUntil([&] { return pending.isFinished(); }, 10s));
        const QDBusMessage reply = pending.reply();
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), QStringLiteral("a(ss)aav"));
        const auto back = DecodeRecordSet(reply.arguments().value(0), reply.arguments().value(1));
        if (member == u"Nothing") {
            EXPECT_EQ(back, nullptr);
        } else {
            ASSERT_NE(back, nullptr);
            ExpectSame(*back, *EveryType());
        }
    }
    server.unregisterObject(QStringLiteral("/echo"));
}

}  // namespace
}  // namespace trx
