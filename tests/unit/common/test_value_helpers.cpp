#include "common/value_helpers.h"

#include <gtest/gtest.h>

namespace mereval::common {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(ValueHelpers, DatesLongsAndRoundings) {
    const std::pair<QString, QString> cases[] = {
        {ShortDateCode(QDate(5, 3, 9)), u"050309"_s},
        {LongDateText(QDate(2026, 3, 15)), u"15. märts 2026"_s},
        {LongDateText(QDateTime(QDate(2026, 1, 2), QTime(23, 59))), u"02. jaanuar 2026"_s},
        {LongDateText(u"2026-10-09"_s), u"09. oktoober 2026"_s},
        {LongDateText(u"9.2.2026"_s), u"09. veebruar 2026"_s},
        {LongDateText(u"2026-02-30"_s), QString()},
        {LongDateText(42), QString()},
        {CodeDateTimeText(u"090331235959"_s), u"31.03.2009 23:59:59"_s},
        {CodeDateTimeText(u"09033123595"_s), u" "_s},
        {QString::number(LongFromBytes(QByteArray::fromHex("00000080"))), u"-2147483648"_s},
        {QString::number(LongFromBytes(QByteArray::fromHex("010000"))), u"0"_s},
        {QString::number(RoundToUnit(-1234.5, 1)), u"-1235"_s},
        {QString::number(RoundToUnit(1.005 * 100, 1)), u"101"_s},
        {QString::number(RoundToUnit(-17.5, 5)), u"-20"_s},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(value, expected);
    }
}

TEST(ParseNumericText, WhatACashierTypesAndNothingElse) {
    const std::pair<const char*, double> accepted[] = {
        {" 8145 ", 8145}, {"-7", -7}, {"+2,5", 2.5}, {",5", 0.5}};
    for (const auto& [text, number] : accepted) {
        double value = 0;
        EXPECT_TRUE(ParseNumericText(QString::fromLatin1(text), &value)) << text;
        EXPECT_EQ(value, number) << text;
    }
    double value = 3;
    for (const char* text : {"", "-", ".", "81a5", "1.2.3", "1e5", "1 000"}) {
        EXPECT_FALSE(ParseNumericText(QString::fromLatin1(text), &value)) << text;
    }
    EXPECT_EQ(value, 3);
}

}  // namespace
}  // namespace mereval::common
