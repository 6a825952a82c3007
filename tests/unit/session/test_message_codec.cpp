#include "session/message_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace mereval::session {
namespace {

using namespace Qt::Literals::StringLiterals;

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

// Round trips, empty values and the highest index are checked against
// protobuf; here, what only this side decides.
TEST(MessageCodec, IndexRangeAbsentFieldsAndChanges) {
    MessageCodec codec;
    EXPECT_FALSE(codec.SetField(0, "x"));
    EXPECT_FALSE(codec.SetField(-1, "x"));
    EXPECT_EQ(codec.FieldCount(), 0);
    QByteArray rest = "stale";
    ASSERT_EQ(codec.Parse(BuildOf({{2, ""}, {32767, "x"}}), rest), MessageCodec::kDecoded);
    EXPECT_TRUE(rest.isEmpty());
    EXPECT_FALSE(codec.GetField(2, "d").isNull());
    for (const qint16 absent : {1, 0, -5}) {
        EXPECT_EQ(codec.GetField(absent, "**"), "**") << absent;
    }
    codec.SetField(5, "new");  // a parsed message can be changed and rebuilt
    EXPECT_EQ(codec.Build(true, true), BuildOf({{2, ""}, {5, "new"}, {32767, "x"}}));
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
}

TEST(MessageCodec, MalformedBodyIsConsumedAndDropped) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"varint wire type", Bytes({0x08, 0x01})},
        {"fixed64 wire type", Bytes({0x09, 1, 2, 3, 4, 5, 6, 7, 8})},
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
        ASSERT_EQ(codec.Parse(buffer, buffer), MessageCodec::kDecoded) << name;
        EXPECT_EQ(codec.GetField(1, ""), "0002") << name;
        EXPECT_TRUE(buffer.isEmpty()) << name;
    }
}

// A body over 16 MiB is refused as soon as its prefix is in, and since it is
// never kept, the input goes with it; exactly 16 MiB is merely incomplete.
TEST(MessageCodec, OverlongOrOversizedPrefixDiscardsTheInput) {
    const std::pair<QByteArray, qint16> cases[] = {
        {Bytes({0x80, 0xC8, 0xAF, 0xA0, 0x25}), MessageCodec::kMalformed},  // 10 GB
        {Bytes({0x81, 0x80, 0x80, 0x08}), MessageCodec::kMalformed},        // 16 MiB + 1
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

// Parsed values may share storage with the input or with each other; none of
// that may show through what GetField hands out.
TEST(MessageCodec, ValuesStayIntactWhateverHappensToInputAndInstance) {
    const QByteArray frame = BuildOf({{1, "0012"}, {5, "status"}, {12, QByteArray(40, 'r')}});
    char scratch[64];  // memory that the caller owns and reuses
    std::memcpy(scratch, frame.constData(), static_cast<size_t>(frame.size()));
    QByteArray status;
    MessageCodec copy;
    {
        MessageCodec original;
        QByteArray rest;
        ASSERT_EQ(original.Parse(QByteArray::fromRawData(scratch, frame.size()), rest),
                  MessageCodec::kDecoded);
        std::memset(scratch, 'X', sizeof scratch);
        status = original.GetField(5, "");
        copy = original;
    }
    QByteArray edited = copy.GetField(5, "");
    edited[0] = 'S';
    EXPECT_EQ(copy.GetField(1, ""), "0012");
    EXPECT_EQ(copy.GetField(5, ""), "status");
    EXPECT_EQ(copy.GetField(12, ""), QByteArray(40, 'r'));
    copy.Clear();
    EXPECT_EQ(status, "status");
}

}  // namespace
}  // namespace mereval::session
