#include "platform/keyboard_layout.h"
#include "ui/track_normalizer.h"

#include <gtest/gtest.h>

namespace mereval::ui {
namespace {

using platform::kLayoutEstonian;
using platform::kLayoutRussian;

TEST(NormalizeTrackText, EstonianLayoutGivesBackTheSentinels) {
    EXPECT_EQ(NormalizeTrackText(QStringLiteral(u"ö4761739001010010´25121011000012345678_"),
                                 kLayoutEstonian),
              QStringLiteral(";4761739001010010=25121011000012345678?"));
    EXPECT_EQ(NormalizeTrackText(QStringLiteral(u"a_bö_ö"), kLayoutEstonian),
              QStringLiteral("a?b;?;"));
}

TEST(NormalizeTrackText, RussianLayoutMapsZheAndComma) {
    EXPECT_EQ(NormalizeTrackText(QStringLiteral(u"ж4761739001010010=2512,"), kLayoutRussian),
              QStringLiteral(";4761739001010010=2512?"));
    EXPECT_EQ(NormalizeTrackText(QStringLiteral(u",,ö´_"), kLayoutRussian),
              QStringLiteral(u"??ö´_"));
}

TEST(NormalizeTrackText, OtherLayoutsLeaveTheTextAlone) {
    const QString track = QStringLiteral(u"ö1´2_ж,");
    EXPECT_EQ(NormalizeTrackText(track, platform::kLayoutNeither), track);
    EXPECT_EQ(NormalizeTrackText(track, 0x04090409), track);
    EXPECT_EQ(NormalizeTrackText(track, 0xF0250425), track);  // another Estonian layout
    EXPECT_EQ(NormalizeTrackText(QString(), kLayoutEstonian), QString());
}

TEST(NormalizeTrackText, OffscreenApplicationCountsAsNeither) {
    EXPECT_EQ(NormalizeTrackText(QStringLiteral(u"ö1_")), QStringLiteral(u"ö1_"));
}

TEST(MapCharacters, LooksAtTheInputSoNothingIsMappedTwice) {
    EXPECT_EQ(MapCharacters(QStringLiteral("abcab"), QStringLiteral("ab"), QStringLiteral("ba")),
              QStringLiteral("bacba"));
    EXPECT_EQ(MapCharacters(QStringLiteral("aA"), QStringLiteral("a"), QStringLiteral("x")),
              QStringLiteral("xA"));
}

TEST(LayoutHandleForXkbName, OnlyTheDefaultLayoutsCount) {
    EXPECT_EQ(platform::LayoutHandleForXkbName("Estonian"), kLayoutEstonian);
    EXPECT_EQ(platform::LayoutHandleForXkbName("Russian"), kLayoutRussian);
    EXPECT_EQ(platform::LayoutHandleForXkbName("Estonian (Dvorak)"), platform::kLayoutNeither);
    EXPECT_EQ(platform::LayoutHandleForXkbName("English (US)"), platform::kLayoutNeither);
}

}  // namespace
}  // namespace mereval::ui
