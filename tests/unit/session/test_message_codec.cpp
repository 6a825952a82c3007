#include "session/message_codec.h"

#include <gtest/gtest.h>

#include <utility>

namespace mereval::session {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int v : values) {
        bytes.append(static_cast<char>(v));
    }
    return bytes;
}

QByteArray BuildOf(std::initializer_list<std::pair<qint16, QByteArray>> fields) {
    MessageCodec codec;
    for (const auto& [index, value] : fields) {
        codec.SetField(index, value);
    }
    return codec.Build(true, true);
}

TEST(MessageCodec, IncompleteInputIsKeptWholeUntilTheRestArrives) {
    const QByteArray frame = BuildOf({{1, "0002"}, {5, QByteArray(300, 'z')}});
    MessageCodec codec;
    for (qsizetype cut = 0; cut < frame.size(); ++cut) {
        QByteArray rest = "stale";
        ASSERT_EQ(codec.Parse(frame.left(cut), rest), MessageCodec::kIncomplete) << cut;
        EXPECT_EQ(rest, frame.left(cut));
    }
    QByteArray rest;
    EXPECT_EQ(codec.Parse(frame, rest), MessageCodec::kDecoded);
    EXPECT_EQ(codec.GetField(5, "").size(), 300);
    codec.SetField(5, "own");
    EXPECT_EQ(codec.GetField(5, ""), "own");
}

// A malformed body is dropped and the frame after it decodes.
TEST(MessageCodec, MalformedBodyIsConsumedAndDropped) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"varint wire type", Bytes({0x08, 0x01})},
        {"index 0", Bytes({0x02, 0x01, 'a'})},
        {"index 32768", Bytes({0x82, 0x80, 0x10, 0x01, 'a'})},
        {"field past the frame", Bytes({0x0A, 0x05, 'a'})},
        {"tag cut by the frame end", Bytes({0x0A, 0x01, 'a', 0x82})},
        {"length cut by the frame end", Bytes({0x0A})},
    };
    for (const auto& [name, body] : cases) {
        MessageCodec codec;
        codec.SetField(4, "old");
        QByteArray buffer = Bytes({static_cast<int>(body.size())}) + body + BuildOf({{1, "0002"}});
        EXPECT_EQ(codec.Parse(buffer, buffer), MessageCodec::kMalformed) << name;
        EXPECT_EQ(codec.FieldCount(), 0) << name;
        EXPECT_EQ(codec.Parse(buffer, buffer), MessageCodec::kDecoded) << name;
    }
}

// A body over 16 MiB is refused as soon as its prefix is in, and the input
// goes with it; exactly 16 MiB is merely incomplete.
TEST(MessageCodec, OverlongOrOversizedPrefixDiscardsTheInput) {
    const std::pair<QByteArray, qint16> cases[] = {
        {Bytes({0x81, 0x80, 0x80, 0x08}), MessageCodec::kMalformed},
        {QByteArray(11, '\xFF'), MessageCodec::kBadPrefix},
        {Bytes({0x80, 0x80, 0x80, 0x08}), MessageCodec::kIncomplete},
    };
    for (const auto& [prefix, status] : cases) {
        MessageCodec codec;
        QByteArray buffer = prefix + "some bytes";
        EXPECT_EQ(codec.Parse(buffer, buffer), status) << prefix.toHex().toStdString();
        EXPECT_EQ(buffer.isEmpty(), status != MessageCodec::kIncomplete);
    }
}

}  // namespace
}  // namespace mereval::session
