#include "session/conversions.h"

#include <gtest/gtest.h>

namespace mereval::session {
namespace {

using namespace Qt::Literals::StringLiterals;

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

// Rejected texts leave the amount alone, except that a character other than
// digits, separators, blanks and a leading minus zeroes it.
TEST(GetAmount, SeparatorsSignAndBlanks) {
    const std::tuple<QString, bool, double> cases[] = {
        {u" 12,34 "_s, true, 12.34},
        {u"12.34"_s, true, 12.34},
        {u"-0.01"_s, true, -0.01},
        {u"15"_s, true, 15},
        {QString(32, u'9'), true, 1e32},
        {QString(33, u'1'), false, 7},
        {u"12.5"_s, false, 7},
        {u"1.234"_s, false, 7},
        {u",50"_s, false, 7},
        {u"-,50"_s, false, 7},
        {u"-"_s, false, 7},
        {u"   "_s, false, 7},
        {QString(), false, 7},
        {u"1,2,3"_s, false, 7},
        {u"1.00.00"_s, false, 7},
        {u"12a"_s, false, 0},
        {u"+5"_s, false, 0},
        {u"1 2"_s, false, 0},
        {u"1.a5"_s, false, 0},
    };
    for (const auto& [text, accepted, expected] : cases) {
        double amount = 7;
        EXPECT_EQ(GetAmount(text, amount), accepted) << text.toStdString();
        EXPECT_DOUBLE_EQ(amount, expected) << text.toStdString();
    }
}

TEST(ParseLongInRange, RoundsHalvesToEvenAndFallsBackOutsideTheRange) {
    EXPECT_EQ(ParseLongInRange(u"123456"_s, -1, 999999, 0), 123456);
    EXPECT_EQ(ParseLongInRange(u" -1 "_s, -1, 999999, 0), -1);
    EXPECT_EQ(ParseLongInRange(u"2.5"_s, -1, 999999, 0), 2);
    EXPECT_EQ(ParseLongInRange(u"3,5"_s, -1, 999999, 0), 4);
    EXPECT_EQ(ParseLongInRange(u"999999.4"_s, -1, 999999, 0), 999999);
    EXPECT_EQ(ParseLongInRange(u"999999.5"_s, -1, 999999, 0), 0);
    EXPECT_EQ(ParseLongInRange(u"1000000"_s, -1, 999999, 0), 0);
    EXPECT_EQ(ParseLongInRange(u"-2"_s, -1, 999999, 0), 0);
    EXPECT_EQ(ParseLongInRange(u"abc"_s, -1, 999999, 5), 5);
    EXPECT_EQ(ParseLongInRange(QString(), -1, 999999, 5), 5);
    EXPECT_EQ(ParseLongInRange(u"1e3"_s, -1, 999999, 5), 5);
    EXPECT_EQ(ParseLongInRange(QString(400, u'9'), -1, 999999, 5), 5);
}

TEST(FormatFixedWidth, PadsCutsAndDropsTheSign) {
    EXPECT_EQ(FormatFixedWidth(42, 6), u"000042"_s);
    EXPECT_EQ(FormatFixedWidth(1234567, 6), u"234567"_s);
    EXPECT_EQ(FormatFixedWidth(-42, 6), u"000042"_s);
    EXPECT_EQ(FormatFixedWidth(-2147483647 - 1, 6), u"483648"_s);
    EXPECT_EQ(FormatFixedWidth(42, 0), QString());
}

TEST(RegionalNumberText, PlainDigitsWithTheLocalesDecimalSign) {
    const QLocale estonian(QLocale::Estonian, QLocale::Estonia);
    EXPECT_EQ(RegionalNumberText(12.34, estonian), u"12,34"_s);
    EXPECT_EQ(RegionalNumberText(1234567.5, estonian), u"1234567,5"_s);
    EXPECT_EQ(RegionalNumberText(0.1 + 0.2, QLocale::c()), u"0.3"_s);
    EXPECT_EQ(RegionalNumberText(999999999999999, QLocale::c()), u"999999999999999"_s);
    EXPECT_EQ(RegionalNumberText(1e32, QLocale::c()), u"1E+32"_s);
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
