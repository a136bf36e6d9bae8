#include "common/Text.h"

#include <gtest/gtest.h>

namespace trx {
namespace {

TEST(Utf8, RoundTripsBmpAndAstralCharacters) {
    const std::u16string text = u"Größe € \U0001F600 z";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"ä"), "\xC3\xA4");
}

TEST(Utf8, InvalidInputBecomesReplacementCharacter) {
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
              u"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");                                  // cut sequence
    EXPECT_EQ(FromUtf8("\xE0\x80\x80"), u"\uFFFD");                          // overlong
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(TrimBlanks, RemovesOnlyBlanksAtBothEnds) {
    EXPECT_EQ(TrimBlanks(u"  a b  "), u"a b");
    EXPECT_EQ(TrimBlanks(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(TrimBlanks(u"   "), u"");
}

}  // namespace
}  // namespace trx
