#include <gtest/gtest.h>

#include <stdexcept>

#include "common/RecordSet.h"

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

TEST(RecordSetBuilder, TextsKeepTheirValuesAcrossChunkBoundaries) {
    RecordSetBuilder b;
    const auto text = b.AddField(u"t", FieldType::Text);
    std::vector<std::u16string> expected;
    for (int i = 0; i < 20000; ++i) {
        expected.push_back(std::u16string(static_cast<std::size_t>(i % 7), u'a') +
                           static_cast<char16_t>(u'0' + i % 10));
        b.AppendText(text, expected.back());
    }
    // A value that grows past its chunk moves into one of its own.
    b.AppendText(text, std::u16string(1000, u'x'));
    b.ExtendText(text, std::u16string(70000, u'y'));
    expected.push_back(std::u16string(1000, u'x') + std::u16string(70000, u'y'));
    b.AppendText(text, u"danach");
    expected.push_back(u"danach");
    auto rs = b.Build();
    ASSERT_EQ(rs->RecordCount(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(rs->TextView(r, 0), expected[r]) << r;
    }
}

}  // namespace
}  // namespace trx
