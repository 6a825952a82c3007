#include "common/code_page.h"

#include <gtest/gtest.h>

namespace mereval::common {
namespace {

TEST(CodePage, EstonianLettersHaveTheirBalticBytes) {
    EXPECT_EQ(ToCodePage(QStringLiteral(u"ÕõÄäÖöÜüŠšŽž")),
              QByteArray::fromHex("d5f5c4e4d6f6dcfcd0f0defe"));
    EXPECT_EQ(FromCodePage(QByteArray::fromHex("d5f5c4e4d6f6dcfcd0f0defe")),
              QStringLiteral(u"ÕõÄäÖöÜüŠšŽž"));
    EXPECT_EQ(ToCodePage(QStringLiteral(u"´€")), QByteArray::fromHex("b480"));
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
    }
    EXPECT_EQ(ToCodePage(FromCodePage(all)), all);
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(ToCodePage(QStringLiteral(u"жx")), QByteArray("?x"));
}

}  // namespace
}  // namespace mereval::common
