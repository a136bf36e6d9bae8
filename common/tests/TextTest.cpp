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

TEST(FileName, EveryByteComesBackUnchanged) {
    for (const std::string bytes : {"d\xE4mo.cpx", "\xFF\xFE/\x80", "\xED\xA0\x80", "\xC3",
                                    "/opt/trx/Gr\xC3\xBC\xC3\x9F"
                                    "e \xF0\x9F\x98\x80"}) {
        EXPECT_EQ(ToFileName(FromFileName(bytes)), bytes);
    }
    EXPECT_EQ(FromFileName("\xC3\xA4"), u"ä") << "valid UTF-8 reads as text";
    EXPECT_EQ(ToUtf8(FromFileName("d\xE4mo")), "d\xEF\xBF\xBDmo") << "shown with U+FFFD";
}

TEST(TrimBlanks, RemovesOnlyBlanksAtBothEnds) {
    EXPECT_EQ(TrimBlanks(u"  a b  "), u"a b");
    EXPECT_EQ(TrimBlanks(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(TrimBlanks(u"   "), u"");
}

}  // namespace
}  // namespace trx
