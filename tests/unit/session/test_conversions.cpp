#include "session/conversions.h"

#include <gtest/gtest.h>

namespace mereval::session {
namespace {

using namespace Qt::Literals::StringLiterals;

// Rejected texts leave the amount alone, except that a character other than
// digits, separators, blanks and a leading minus zeroes it.
TEST(GetAmount, SeparatorsSignAndBlanks) {
    const std::tuple<QString, bool, double> cases[] = {
        {u" 12,34 "_s, true, 12.34},
        {u"-0.01"_s, true, -0.01},
        {QString(32, u'9'), true, 1e32},
        {QString(33, u'1'), false, 7},
        {u"12.5"_s, false, 7},
        {u",50"_s, false, 7},
        {u"-"_s, false, 7},
        {QString(), false, 7},
        {u"1,2,3"_s, false, 7},
        {u"12a"_s, false, 0},
        {u"+5"_s, false, 0},
    };
    for (const auto& [text, accepted, expected] : cases) {
        double amount = 7;
        EXPECT_EQ(GetAmount(text, amount), accepted) << text.toStdString();
        EXPECT_DOUBLE_EQ(amount, expected) << text.toStdString();
    }
}

TEST(ParseLongInRange, RoundsHalvesToEvenAndFallsBackOutsideTheRange) {
    const std::pair<QString, qint32> cases[] = {
        {u" -1 "_s, -1},    {u"2.5"_s, 2}, {u"3,5"_s, 4}, {u"999999.4"_s, 999999},
        {u"999999.5"_s, 5}, {u"-2"_s, 5},  {u"abc"_s, 5}, {QString(400, u'9'), 5},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseLongInRange(text, -1, 999999, 5), value) << text.toStdString();
    }
}

TEST(NumberForms, FixedWidthRegionalTextsAndLittleEndianBytes) {
    EXPECT_EQ(FormatFixedWidth(1234567, 6), u"234567"_s);
    EXPECT_EQ(FormatFixedWidth(-42, 6), u"000042"_s);
    EXPECT_EQ(RegionalNumberText(1234567.5, QLocale(QLocale::Estonian)), u"1234567,5"_s);
    EXPECT_EQ(RegionalNumberText(0.1 + 0.2, QLocale::c()), u"0.3"_s);
    EXPECT_EQ(LongToBytes(-2), QByteArray::fromHex("feffffff"));
    EXPECT_EQ(DoubleToBytes(12.34), QByteArray::fromHex("ae47e17a14ae2840"));
    EXPECT_DOUBLE_EQ(DoubleFromBytes(QByteArray::fromHex("ae47e17a14ae2840")), 12.34);
    EXPECT_DOUBLE_EQ(DoubleFromBytes(QByteArray::fromHex("ae47e17a14ae28")), 0);
}

}  // namespace
}  // namespace mereval::session
