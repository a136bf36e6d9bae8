// Record sets as a reply may carry them, whatever the server sent: values
// that no record set can hold are refused, never undefined behaviour.

#include "automation/dbus/RecordSetWire.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace trx {
namespace {

std::shared_ptr<const RecordSet> DecodeOneDate(double value) {
    RegisterRecordSetWireTypes();
    const QList<WireField> fields{{QStringLiteral("Datum"), QStringLiteral("date")}};
    const QList<QVariantList> rows{{QVariant::fromValue(value)}};
    return DecodeRecordSet(QVariant::fromValue(fields), QVariant::fromValue(rows));
}

TEST(RecordSetWireFaultTest, DatesBeyondTheYearsOfARecordSetAreRefused) {
    // Found by the fuzz target: a huge day count overflowed the conversion.
    for (const double value : {1e300, -1e300, DBL_MAX, -DBL_MAX, 1e7, -1e7, 9.3e18}) {
        SCOPED_TRACE(value);
        EXPECT_THROW(DecodeOneDate(value), RecordSetWireError);
    }
}

TEST(RecordSetWireFaultTest, DatesAtTheEdgesOfTheAutomationRangeStillDecode) {
    struct Case {
        double value;
        DateTime date;
    };
    const Case cases[] = {
        {2958465.5, {9999, 12, 31, 12, 0, 0, 0}},
        {-657434.0, {100, 1, 1, 0, 0, 0, 0}},
        {-693593.0, {1, 1, 1, 0, 0, 0, 0}},  // a database's year 1
    };
    for (const Case& c : cases) {
        const auto set = DecodeOneDate(c.value);
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(FromAutomationDateValue(c.value), c.date) << c.value;
    }
}

}  // namespace
}  // namespace trx
