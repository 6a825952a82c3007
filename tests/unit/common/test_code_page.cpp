#include "common/code_page.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

namespace mereval::common {
namespace {

using namespace Qt::Literals::StringLiterals;

// ICU's windows-1257 is the independent reference; the bytes it leaves
// undefined pass through as their own code points.
TEST(CodePage, EveryByteAsWindows1257AndBack) {
    QStringDecoder reference("windows-1257", QStringDecoder::Flag::Stateless);
    ASSERT_TRUE(reference.isValid());
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
    }
    const QString text = FromCodePage(all);
    ASSERT_EQ(text.size(), 256);
    for (int b = 0; b < 256; ++b) {
        const QString expected = reference(all.mid(b, 1));
        const QChar own = expected == QChar::ReplacementCharacter ? QChar(b) : expected[0];
        EXPECT_EQ(text[b], own) << "byte " << b;
    }
    EXPECT_EQ(ToCodePage(text), all);
    EXPECT_EQ(ToCodePage(u"жx"_s), QByteArray("?x"));
}

}  // namespace
}  // namespace mereval::common
