#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

#include "common/RecordSetQuery.h"

namespace trx {
namespace {

using Records = std::vector<std::size_t>;

// Name, Nr, Preis, Seit: a NULL in each of the last two.
std::shared_ptr<const RecordSet> Customers() {
    RecordSetBuilder b;
    const auto name = b.AddField(u"Name", FieldType::Text);
    const auto nr = b.AddField(u"Nr", FieldType::Integer);
    const auto price = b.AddField(u"Preis", FieldType::Decimal);
    const auto since = b.AddField(u"Seit", FieldType::Date);
    const char16_t* names[] = {u"Bäckerei", u"bank", u"Zoo", u"O'Neil"};
    const char16_t* prices[] = {u"2.50", u"10", nullptr, u"2.5"};
    for (std::size_t i = 0; i < 4; ++i) {
        b.AppendText(name, names[i]);
        b.AppendInteger(nr, 1001 + static_cast<std::int64_t>(i));
        prices[i] == nullptr ? b.AppendNull(price) : b.AppendText(price, prices[i]);
        i == 1 ? b.AppendNull(since)
               : b.AppendDate(since, DateTime{2024, 3, static_cast<std::uint16_t>(30 + i % 2)});
    }
    return b.Build();
}

Records All(const RecordSet& rows) {
    Records all(rows.RecordCount());
    std::iota(all.begin(), all.end(), 0);
    return all;
}

TEST(RecordSetQuery, FiltersByEachComparisonJoinedByAndAndOr) {
    const auto rows = Customers();
    auto filter = [&](std::u16string_view text) { return FilterRecords(*rows, All(*rows), text); };
    EXPECT_EQ(filter(u"Nr >= 1002 AND Nr <> 1003"), (Records{1, 3}));
    EXPECT_EQ(filter(u"name like 'B*'"), (Records{0, 1}));
    EXPECT_EQ(filter(u"Name LIKE '*e%'"), (Records{0, 3}));
    EXPECT_EQ(filter(u"Name = 'o''neil' OR (Nr < 1002 AND [Preis] = 2.5)"), (Records{0, 3}));
    EXPECT_EQ(filter(u"Preis = NULL OR Seit = NULL"), (Records{1, 2}));
    EXPECT_EQ(filter(u"Preis <> NULL AND Preis <= 2.5"), (Records{0, 3}));
    EXPECT_EQ(filter(u"Seit > #2024-03-30# OR Seit = #03/30/2024#"), (Records{0, 2, 3}));
    EXPECT_EQ(filter(u"Seit > #2024-03-30 00:00:01#"), (Records{3}));
    // Filtering a filtered or sorted order keeps that order.
    EXPECT_EQ(FilterRecords(*rows, Records{3, 0, 1}, u"Nr > 1001"), (Records{3, 1}));
}

TEST(RecordSetQuery, RefusesWhatItCannotReadAndFieldsItLacks) {
    const auto rows = Customers();
    for (const char16_t* bad : {u"Nr", u"Nr = ", u"Nr = 'x", u"Nr = 1 AND", u"(Nr = 1", u"Nr ~ 1",
                                u"Nr LIKE 1", u"Seit = #2024-02-30#", u"Nr = 1 Nr = 2"}) {
        try {
            FilterRecords(*rows, All(*rows), bad);
            ADD_FAILURE() << "accepted a filter it cannot read";
        } catch (const RecordSetQueryError& e) {
            EXPECT_EQ(e.kind(), RecordSetQueryError::Kind::Invalid);
        }
    }
    try {
        SortRecords(*rows, All(*rows), u"Lieferant DESC");
        ADD_FAILURE() << "sorted by a field the rows lack";
    } catch (const RecordSetQueryError& e) {
        EXPECT_EQ(e.kind(), RecordSetQueryError::Kind::UnknownField);
    }
    EXPECT_THROW(ParseRecordSetCriterion(*rows, u"Nr = 1 AND Nr = 2"), RecordSetQueryError);
}

TEST(RecordSetQuery, SortsByFieldsInEitherDirectionWithNullFirstAndTiesInRowOrder) {
    const auto rows = Customers();
    EXPECT_EQ(SortRecords(*rows, All(*rows), u"Name"), (Records{1, 0, 3, 2}));
    EXPECT_EQ(SortRecords(*rows, All(*rows), u"Preis ASC, Nr DESC"), (Records{2, 3, 0, 1}));
    EXPECT_EQ(SortRecords(*rows, All(*rows), u"Seit desc"), (Records{3, 0, 2, 1}));
    // An empty sort gives back the rows' own order.
    EXPECT_EQ(SortRecords(*rows, Records{3, 1, 0}, u""), (Records{0, 1, 3}));
    const RecordSetCriterion found = ParseRecordSetCriterion(*rows, u"Name LIKE 'z*'");
    EXPECT_FALSE(found.Matches(*rows, 0));
    EXPECT_TRUE(found.Matches(*rows, 2));
}

}  // namespace
}  // namespace trx
