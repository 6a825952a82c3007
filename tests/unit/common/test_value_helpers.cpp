#include "common/value_helpers.h"

#include <gtest/gtest.h>

namespace mereval::common {
namespace {

TEST(ShortDateCode, TwoDigitYearMonthAndDay) {
    EXPECT_EQ(ShortDateCode(QDate(2026, 12, 4)), QStringLiteral("261204"));
    EXPECT_EQ(ShortDateCode(QDate(2009, 1, 1)), QStringLiteral("090101"));
    EXPECT_EQ(ShortDateCode(QDate(2099, 12, 31)), QStringLiteral("991231"));
    EXPECT_EQ(ShortDateCode(QDate(5, 3, 9)), QStringLiteral("050309"));
}

TEST(LongDateText, EstonianMonthNamesForDatesAndDateTexts) {
    EXPECT_EQ(LongDateText(QDate(2026, 12, 4)), QStringLiteral("04. detsember 2026"));
    EXPECT_EQ(LongDateText(QDate(2026, 5, 1)), QStringLiteral("01. mai 2026"));
    EXPECT_EQ(LongDateText(QDate(2026, 3, 15)), QStringLiteral(u"15. märts 2026"));
    EXPECT_EQ(LongDateText(QDateTime(QDate(2026, 1, 2), QTime(23, 59))),
              QStringLiteral("02. jaanuar 2026"));
    EXPECT_EQ(LongDateText(QStringLiteral("2026-10-09")), QStringLiteral("09. oktoober 2026"));
    EXPECT_EQ(LongDateText(QStringLiteral("9.2.2026")), QStringLiteral("09. veebruar 2026"));
    EXPECT_EQ(LongDateText(QStringLiteral("not a date")), QString());
    EXPECT_EQ(LongDateText(QStringLiteral("2026-02-30")), QString());
    EXPECT_EQ(LongDateText(QVariant(42)), QString());
    EXPECT_EQ(LongDateText(QVariant()), QString());
}

TEST(LongFromBytes, LittleEndianSignedAndZeroForOtherLengths) {
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("01000000")), 1);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("ffffffff")), -1);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("00000080")), -2147483647 - 1);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("39300000")), 12345);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("010000")), 0);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("0100000000")), 0);
    EXPECT_EQ(LongFromBytes(QByteArray()), 0);
}

TEST(RoundToUnit, HalfAwayFromZeroWithTheNudge) {
    EXPECT_EQ(RoundToUnit(1234.5, 1), 1235);
    EXPECT_EQ(RoundToUnit(-1234.5, 1), -1235);
    EXPECT_EQ(RoundToUnit(1234.4999, 1), 1234);
    EXPECT_EQ(RoundToUnit(1.005 * 100, 1), 101);
    EXPECT_EQ(RoundToUnit(0, 1), 0);
    EXPECT_EQ(RoundToUnit(17, 5), 15);
    EXPECT_EQ(RoundToUnit(-17.5, 5), -20);
}

TEST(DateTimeCodeTexts, DayMonthCenturyAndTimeOrEmpty) {
    EXPECT_EQ(CodeDateText(QStringLiteral("090331235959")), QStringLiteral("31.03.2009"));
    EXPECT_EQ(CodeTimeText(QStringLiteral("090331235959")), QStringLiteral("23:59:59"));
    EXPECT_EQ(CodeDateTimeText(QStringLiteral("090301000000")),
              QStringLiteral("01.03.2009 00:00:00"));
    EXPECT_EQ(CodeDateText(QStringLiteral("ab0331xx5959")), QStringLiteral("31.03.20ab"));
    for (const char* code : {"09033123595", "0903312359590", ""}) {
        EXPECT_EQ(CodeDateText(QString::fromLatin1(code)), QString()) << code;
        EXPECT_EQ(CodeTimeText(QString::fromLatin1(code)), QString()) << code;
        EXPECT_EQ(CodeDateTimeText(QString::fromLatin1(code)), QStringLiteral(" ")) << code;
    }
}

TEST(ParseNumericText, SignDigitsAndOneSeparator) {
    double value = 0;
    EXPECT_TRUE(ParseNumericText(QStringLiteral(" 8145 "), &value));
    EXPECT_EQ(value, 8145);
    EXPECT_TRUE(ParseNumericText(QStringLiteral("-7"), &value));
    EXPECT_EQ(value, -7);
    EXPECT_TRUE(ParseNumericText(QStringLiteral("+2,5"), &value));
    EXPECT_EQ(value, 2.5);
    EXPECT_TRUE(ParseNumericText(QStringLiteral(".5"), &value));
    EXPECT_EQ(value, 0.5);
    value = 3;
    for (const char* text : {"", " ", "-", ".", "81a5", "1.2.3", "1e5", "0x10", "1 000"}) {
        EXPECT_FALSE(ParseNumericText(QString::fromLatin1(text), &value)) << text;
    }
    EXPECT_EQ(value, 3);
}

}  // namespace
}  // namespace mereval::common
