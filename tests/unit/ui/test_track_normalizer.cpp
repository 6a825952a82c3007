#include "platform/keyboard_layout.h"
#include "ui/track_normalizer.h"

#include <gtest/gtest.h>

namespace mereval::ui {
namespace {

using namespace Qt::Literals::StringLiterals;

using namespace platform;

TEST(NormalizeTrackText, EachDefaultLayoutGivesBackItsSentinels) {
    const std::tuple<const char16_t*, quint32, const char16_t*> cases[] = {
        {u"ö4761739001010010´2512_a_bö", kLayoutEstonian, u";4761739001010010=2512?a?b;"},
        {u"ж4761739001010010=2512,,ö´_", kLayoutRussian, u";4761739001010010=2512??ö´_"},
        {u"ö1´2_ж,", kLayoutNeither, u"ö1´2_ж,"},
        {u"ö1´2_ж,", 0xF0250425, u"ö1´2_ж,"},  // another Estonian layout
    };
    for (const auto& [typed, layout, track] : cases) {
        EXPECT_EQ(NormalizeTrackText(QString::fromUtf16(typed), layout), QString::fromUtf16(track))
            << layout;
    }
    EXPECT_EQ(NormalizeTrackText(u"ö1_"_s), u"ö1_"_s);                   // offscreen
    EXPECT_EQ(MapCharacters(u"abcaA"_s, u"ab"_s, u"ba"_s), u"bacbA"_s);  // nothing mapped twice
}

TEST(MaskedCardNumber, FirstSixAndLastFourOfTwelveDigitsOrMore) {
    EXPECT_EQ(MaskedCardNumber(u";4761739001010010=2512?"_s), u"476173******0010"_s);
    EXPECT_EQ(MaskedCardNumber(u"123456789012"_s), u"123456**9012"_s);
    EXPECT_EQ(MaskedCardNumber(u"12345678901"_s), u"***********"_s);
}

}  // namespace
}  // namespace mereval::ui
