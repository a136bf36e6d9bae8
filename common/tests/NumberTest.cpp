#include "common/Number.h"

#include "common/AutomationError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace trx {
namespace {

struct ReadCase {
    std::u16string text;
    double expected;
};

void ExpectReads(const std::vector<ReadCase>& cases) {
    for (const ReadCase& c : cases) {
        EXPECT_DOUBLE_EQ(ReadNumber(c.text), c.expected)
            << "text: \"" << std::string(c.text.begin(), c.text.end()) << "\"";
    }
}

TEST(ReadNumber, ReadsSignDigitsPointAndExponent) {
    ExpectReads({
        {u"42", 42.0},
        {u"-42", -42.0},
        {u"+7", 7.0},
        {u"3.25", 3.25},
        {u".5", 0.5},
        {u"-.5", -0.5},
        {u"5.", 5.0},
        {u"0042", 42.0},
        {u"1E3", 1000.0},
        {u"1e3", 1000.0},
        {u"1D3", 1000.0},
        {u"2.5d-1", 0.25},
        {u"1E+2", 100.0},
        {u"1.5E-3", 0.0015},
    });
}

TEST(ReadNumber, SkipsBlanksTabsAndLineFeedsAnywhere) {
    ExpectReads({
        {u"  12", 12.0},
        {u"1 2 3", 123.0},
        {u"1\t2\n3", 123.0},
        {u"- 5", -5.0},
        {u"1 . 5", 1.5},
        {u"1 E 2", 100.0},
        {u"& H F F", 255.0},
        {u"1\r2", 1.0},  // a carriage return is not skipped
    });
}

TEST(ReadNumber, StopsAtFirstCharacterThatCannotContinue) {
    ExpectReads({
        {u"12abc", 12.0},
        {u"1.2.3", 1.2},
        {u"1,5", 1.0},  // "," is never a decimal point
        {u"3-4", 3.0},
        {u"--1", 0.0},
        {u"1E", 1.0},
        {u"1E+", 1.0},
        {u"1Ex5", 1.0},
        {u"7x1E2", 7.0},
    });
}

TEST(ReadNumber, TextWithoutNumberReadsAsZero) {
    ExpectReads({
        {u"", 0.0},
        {u"   ", 0.0},
        {u"abc", 0.0},
        {u".", 0.0},
        {u"-", 0.0},
        {u"E5", 0.0},
        {u".E5", 0.0},
    });
    EXPECT_FALSE(std::signbit(ReadNumber(u"-0")));
}

TEST(ReadNumber, HexadecimalAndOctalPrefixes) {
    ExpectReads({
        {u"&H10", 16.0},
        {u"&h10", 16.0},
        {u"&Hff", 255.0},
        {u"&HfF", 255.0},
        {u"&O17", 15.0},
        {u"&o17", 15.0},
        {u"&O78", 7.0},  // 8 is no octal digit
        {u"&H1G", 1.0},
        {u"&H", 0.0},
        {u"&O", 0.0},
        {u"&Hx", 0.0},
        {u"&", 0.0},
        {u"&X1", 0.0},
        {u"-&H10", 0.0},
        {u"&H1.5", 1.0},
    });
}

TEST(ReadNumber, PrefixedValuesAreSixteenBitWhenTheyFitElseThirtyTwoBit) {
    ExpectReads({
        {u"&H7FFF", 32767.0},
        {u"&H8000", -32768.0},
        {u"&HFFFF", -1.0},
        {u"&H0000FFFF", -1.0},  // the value decides, not the number of digits
        {u"&H10000", 65536.0},
        {u"&H7FFFFFFF", 2147483647.0},
        {u"&H80000000", -2147483648.0},
        {u"&HFFFFFFFF", -1.0},
        {u"&O177777", -1.0},
        {u"&O37777777777", -1.0},
    });
}

TEST(ReadNumber, PrefixedDigitBeyondThirtyTwoBitsEndsTheNumber) {
    ExpectReads({
        {u"&H123456789", static_cast<double>(0x12345678)},
        {u"&H000000001", 1.0},
        {u"&O377777777777", static_cast<double>(037777777777u - 0x100000000ll)},
    });
}

TEST(ReadNumber, OutOfDoubleRangeReadsAsInfinityOrZero) {
    EXPECT_EQ(ReadNumber(u"1E999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ReadNumber(u"-1E999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ReadNumber(u"0.001E400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ReadNumber(u"1E-999"), 0.0);
    EXPECT_EQ(ReadNumber(u"1E99999999999999999999"), std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(ReadNumber(u"0.000001E300"), 1E294);
}

TEST(ToInt32, RoundsHalfToEven) {
    const struct {
        double value;
        std::int32_t expected;
    } cases[] = {
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-1.5, -2},
        {-2.5, -2},
        {0.5, 0},
        {-0.5, 0},
        {1.49, 1},
        {1.51, 2},
        {-1.51, -2},
        {7743, 7743},
        {2147483647.4, 2147483647},
        {-2147483648.5, -2147483648},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToInt32(c.value), c.expected) << c.value;
    }
}

TEST(ToInt32, OutsideRangeIsOverflowError) {
    for (const double value :
         {2147483647.5, 2147483648.0, -2147483648.51, -2147483649.0, 3e9,
          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        try {
            ToInt32(value);
            ADD_FAILURE() << "no error for " << value;
        } catch (const AutomationError& error) {
            EXPECT_EQ(error.Number(), 6) << value;
        }
    }
}

TEST(ToInt32, ReadsTextAsStoredNumbers) {
    EXPECT_EQ(ToInt32(ReadNumber(u"2.5")), 2);
    EXPECT_EQ(ToInt32(ReadNumber(u"12abc")), 12);
    EXPECT_THROW(ToInt32(ReadNumber(u"3000000000")), AutomationError);
}

}  // namespace
}  // namespace trx
