#include "session/conversions.h"

#include <gtest/gtest.h>

namespace mereval::session {
namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

TEST(GetAmount, AcceptsBothSeparatorsSignAndBlanks) {
    double amount = 99;
    EXPECT_TRUE(GetAmount(QStringLiteral(" 12,34 "), amount));
    EXPECT_DOUBLE_EQ(amount, 12.34);
    EXPECT_TRUE(GetAmount(QStringLiteral("12.34"), amount));
    EXPECT_DOUBLE_EQ(amount, 12.34);
    EXPECT_TRUE(GetAmount(QStringLiteral("-0.01"), amount));
    EXPECT_DOUBLE_EQ(amount, -0.01);
    EXPECT_TRUE(GetAmount(QStringLiteral("15"), amount));
    EXPECT_DOUBLE_EQ(amount, 15);
    EXPECT_TRUE(GetAmount(QString(32, u'9'), amount));
    EXPECT_DOUBLE_EQ(amount, 99999999999999999999999999999999.0);
}

TEST(GetAmount, RejectsMisplacedSeparatorsAndLeavesAmountAlone) {
    const char16_t* rejected[] = {u"12.5", u"1.234", u",50",   u"-,50",   u"-",
                                  u"",     u"   ",   u"1,2,3", u"1.00.00"};
    for (const char16_t* text : rejected) {
        double amount = 7;
        EXPECT_FALSE(GetAmount(QString::fromUtf16(text), amount))
            << QString::fromUtf16(text).toStdString();
        EXPECT_DOUBLE_EQ(amount, 7);
    }
    double amount = 7;
    EXPECT_FALSE(GetAmount(QString(33, u'1'), amount));
    EXPECT_DOUBLE_EQ(amount, 7);
}

TEST(GetAmount, ForeignCharacterZeroesTheAmount) {
    for (const char16_t* text : {u"12a", u"+5", u"1 2", u"1.a5"}) {
        double amount = 7;
        EXPECT_FALSE(GetAmount(QString::fromUtf16(text), amount));
        EXPECT_DOUBLE_EQ(amount, 0);
    }
}

TEST(ParseLongInRange, RoundsHalvesToEvenAndFallsBackOutsideTheRange) {
    EXPECT_EQ(ParseLongInRange(QStringLiteral("123456"), -1, 999999, 0), 123456);
    EXPECT_EQ(ParseLongInRange(QStringLiteral(" -1 "), -1, 999999, 0), -1);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("2.5"), -1, 999999, 0), 2);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("3,5"), -1, 999999, 0), 4);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("999999.4"), -1, 999999, 0), 999999);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("999999.5"), -1, 999999, 0), 0);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("1000000"), -1, 999999, 0), 0);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("-2"), -1, 999999, 0), 0);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("abc"), -1, 999999, 5), 5);
    EXPECT_EQ(ParseLongInRange(QString(), -1, 999999, 5), 5);
    EXPECT_EQ(ParseLongInRange(QStringLiteral("1e3"), -1, 999999, 5), 5);
    EXPECT_EQ(ParseLongInRange(QString(400, u'9'), -1, 999999, 5), 5);
}

TEST(FormatFixedWidth, PadsCutsAndDropsTheSign) {
    EXPECT_EQ(FormatFixedWidth(42, 6), QStringLiteral("000042"));
    EXPECT_EQ(FormatFixedWidth(7, 6), QStringLiteral("000007"));
    EXPECT_EQ(FormatFixedWidth(1234567, 6), QStringLiteral("234567"));
    EXPECT_EQ(FormatFixedWidth(-42, 6), QStringLiteral("000042"));
    EXPECT_EQ(FormatFixedWidth(-2147483647 - 1, 6), QStringLiteral("483648"));
    EXPECT_EQ(FormatFixedWidth(42, 0), QString());
}

TEST(RegionalNumberText, PlainDigitsWithTheLocalesDecimalSign) {
    const QLocale estonian(QLocale::Estonian, QLocale::Estonia);
    EXPECT_EQ(RegionalNumberText(12.34, estonian), QStringLiteral("12,34"));
    EXPECT_EQ(RegionalNumberText(1234567.5, estonian), QStringLiteral("1234567,5"));
    EXPECT_EQ(RegionalNumberText(100000, QLocale::c()), QStringLiteral("100000"));
    EXPECT_EQ(RegionalNumberText(-0.01, QLocale::c()), QStringLiteral("-0.01"));
    EXPECT_EQ(RegionalNumberText(0.1 + 0.2, QLocale::c()), QStringLiteral("0.3"));
    EXPECT_EQ(RegionalNumberText(999999999999999, QLocale::c()), QStringLiteral("999999999999999"));
    EXPECT_EQ(RegionalNumberText(1e32, QLocale::c()), QStringLiteral("1E+32"));
}

TEST(ByteForms, LittleEndianImagesOfNumbers) {
    EXPECT_EQ(LongToBytes(123), Hex("7b000000"));
    EXPECT_EQ(LongToBytes(-1), Hex("ffffffff"));
    EXPECT_EQ(DoubleToBytes(12.34), Hex("ae47e17a14ae2840"));
    EXPECT_EQ(DoubleToBytes(0.01), Hex("7b14ae47e17a843f"));
    EXPECT_DOUBLE_EQ(DoubleFromBytes(Hex("ae47e17a14ae2840")), 12.34);
    EXPECT_DOUBLE_EQ(DoubleFromBytes(Hex("ae47e17a14ae28")), 0);
    EXPECT_DOUBLE_EQ(DoubleFromBytes(Hex("ae47e17a14ae284000")), 0);
}

}  // namespace
}  // namespace mereval::session
