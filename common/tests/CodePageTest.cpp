#include "common/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace trx {
namespace {

TEST(CodePage, EveryByteSurvivesDecodeAndEncode) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(EncodeWindows1252(DecodeWindows1252(all)), all);
}

TEST(CodePage, DecodesTheCharactersOfTheHighBytes) {
    struct Case {
        unsigned char byte;
        char16_t expected;
    };
    const Case cases[] = {
        {0x41, u'A'},
        {0x80, u'€'},
        {0x8A, u'Š'},
        {0x93, u'“'},
        {0x9F, u'Ÿ'},
        {0xA0, 0x00A0},
        {0xE4, u'ä'},
        {0xFF, u'ÿ'},
        // The five undefined bytes read as the control characters of their value.
        {0x81, 0x0081},
        {0x8D, 0x008D},
        {0x8F, 0x008F},
        {0x90, 0x0090},
        {0x9D, 0x009D},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeWindows1252(std::string(1, static_cast<char>(c.byte))),
                  std::u16string(1, c.expected))
            << "byte " << static_cast<int>(c.byte);
    }
}

TEST(CodePage, WritesUnrepresentableCharactersAsQuestionMarks) {
    struct Case {
        const char16_t* text;
        const char* expected;
    };
    const Case cases[] = {
        {u"äöü€", "\xE4\xF6\xFC\x80"},
        {u"Łódź",
         "?\xF3"
         "d?"},
        {u"\u0080\u0085\u009F", "???"},  // C1 controls other than the five undefined bytes
        {u"\u0081\u009D", "\x81\x9D"},
        {u"a\U0001F600b", "a?b"},  // one character beyond the BMP is one "?"
        {u"a\xD800"
         u"b",
         "a?b"},  // a lone surrogate
        {u"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeWindows1252(c.text), c.expected);
    }
}

}  // namespace
}  // namespace trx
