#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/RecordSet.h"

namespace trx {
namespace {

TEST(RecordSetBuilder, PiecesOfAValueJoinAndNeighboursStayApart) {
    RecordSetBuilder b;
    const auto text = b.AddField(u"t", FieldType::Text);
    const auto bin = b.AddField(u"b", FieldType::Binary);
    b.AppendText(text, u"ab");
    b.ExtendText(text, u"cd");
    b.AppendText(text, u"");
    b.AppendNull(text);
    b.AppendText(text, u"x");
    const std::uint8_t bytes[] = {1, 2, 3};
    b.AppendBinary(bin, bytes, 2);
    b.ExtendBinary(bin, bytes + 2, 1);
    b.AppendNull(bin);
    b.AppendBinary(bin, nullptr, 0);
    b.AppendBinary(bin, bytes, 1);
    auto rs = b.Build();
    ASSERT_EQ(rs->RecordCount(), 4u);
    EXPECT_EQ(rs->TextView(0, 0), u"abcd");
    EXPECT_EQ(rs->Value(1, 0), FieldValue(std::u16string()));
    EXPECT_EQ(rs->Value(2, 0), FieldValue(Null{}));
    EXPECT_EQ(rs->TextView(3, 0), u"x");
    EXPECT_EQ(rs->Value(0, 1), FieldValue(std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(rs->Value(1, 1), FieldValue(Null{}));
    EXPECT_EQ(rs->Value(2, 1), FieldValue(std::vector<std::uint8_t>{}));
    EXPECT_EQ(rs->Value(3, 1), FieldValue(std::vector<std::uint8_t>{1}));
}

TEST(RecordSetBuilder, RefusesColumnsOfDifferentLengthsAndMismatchedValues) {
    RecordSetBuilder b;
    const auto n = b.AddField(u"n", FieldType::Integer);
    const auto t = b.AddField(u"t", FieldType::Text);
    EXPECT_THROW(b.AppendText(n, u"1"), std::logic_error);
    b.AppendInteger(n, 1);
    EXPECT_THROW(b.Build(), std::logic_error);
    b.AppendText(t, u"eins");
    auto rs = b.Build();
    EXPECT_EQ(rs->RecordCount(), 1u);
    EXPECT_THROW(rs->Value(1, 0), std::out_of_range);
    EXPECT_THROW(rs->Value(0, 2), std::out_of_range);
}

}  // namespace
}  // namespace trx
