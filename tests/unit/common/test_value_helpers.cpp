#include "common/value_helpers.h"

#include <gtest/gtest.h>

namespace mereval::common {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(DateTexts, ShortCodesLongEstonianTextsAndCodeTexts) {
    EXPECT_EQ(ShortDateCode(QDate(2026, 12, 4)), u"261204"_s);
    EXPECT_EQ(ShortDateCode(QDate(5, 3, 9)), u"050309"_s);
    const std::pair<QVariant, const char16_t*> longTexts[] = {
        {QDate(2026, 12, 4), u"04. detsember 2026"},
        {QDate(2026, 3, 15), u"15. märts 2026"},
        {QDateTime(QDate(2026, 1, 2), QTime(23, 59)), u"02. jaanuar 2026"},
        {u"2026-10-09"_s, u"09. oktoober 2026"},
        {u"9.2.2026"_s, u"09. veebruar 2026"},
        {u"2026-02-30"_s, u""},
        {42, u""},
        {QVariant(), u""},
    };
    for (const auto& [value, text] : longTexts) {
        EXPECT_EQ(LongDateText(value), QString::fromUtf16(text)) << value.toString().toStdString();
    }
    EXPECT_EQ(CodeDateTimeText(u"090331235959"_s), u"31.03.2009 23:59:59"_s);
    EXPECT_EQ(CodeDateText(u"ab0331xx5959"_s), u"31.03.20ab"_s);
    for (const char* code : {"09033123595", "0903312359590"}) {
        EXPECT_EQ(CodeDateTimeText(QString::fromLatin1(code)), u" "_s) << code;
    }
}

TEST(Numbers, LittleEndianLongsRoundingAndNumericTexts) {
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("39300000")), 12345);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("00000080")), -2147483647 - 1);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("010000")), 0);
    EXPECT_EQ(LongFromBytes(QByteArray::fromHex("0100000000")), 0);

    const std::tuple<double, double, double> roundings[] = {
        {1234.5, 1, 1235}, {-1234.5, 1, -1235}, {1234.4999, 1, 1234}, {1.005 * 100, 1, 101},
        {0, 1, 0},         {17, 5, 15},         {-17.5, 5, -20},
    };
    for (const auto& [x, unit, rounded] : roundings) {
        EXPECT_EQ(RoundToUnit(x, unit), rounded) << x << " to " << unit;
    }

    const std::pair<const char*, double> accepted[] = {
        {" 8145 ", 8145}, {"-7", -7}, {"+2,5", 2.5}, {",5", 0.5}};
    for (const auto& [text, number] : accepted) {
        double value = 0;
        EXPECT_TRUE(ParseNumericText(QString::fromLatin1(text), &value)) << text;
        EXPECT_EQ(value, number) << text;
    }
    double value = 3;
    for (const char* text : {"", " ", "-", ".", "81a5", "1.2.3", "1e5", "0x10", "1 000"}) {
        EXPECT_FALSE(ParseNumericText(QString::fromLatin1(text), &value)) << text;
    }
    EXPECT_EQ(value, 3);
}

}  // namespace
}  // namespace mereval::common
