// libFuzzer target for MessageCodec::Parse: arbitrary bytes, read once and as
// a receive buffer that fills in pieces and is drained in place.
#include "session/message_codec.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using mereval::session::MessageCodec;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// rest is what Parse left of input, given the status it returned.
void CheckRest(qint16 status, const QByteArray& input, const QByteArray& rest) {
    Check(status >= MessageCodec::kDecoded && status <= MessageCodec::kBadPrefix, "status in 0..3");
    switch (status) {
        case MessageCodec::kIncomplete:
            Check(rest == input, "an incomplete frame leaves all of the input");
            break;
        case MessageCodec::kDecoded:
        case MessageCodec::kMalformed:
            Check(rest.size() < input.size() && input.endsWith(rest),
                  "a whole frame leaves a strict suffix of the input");
            break;
        case MessageCodec::kBadPrefix:
            Check(rest.isEmpty(), "an unusable prefix discards the input");
            break;
    }
}

bool Present(const MessageCodec& codec, qint16 index) {
    // Two defaults: no value equals both, so a present field always shows.
    return codec.GetField(index, "a") != "a" || codec.GetField(index, "b") != "b";
}

// A frame rebuilt from the decoded fields parses back to the same fields.
void CheckRoundTrip(const MessageCodec& decoded) {
    MessageCodec rebuilt;
    const int count = decoded.FieldCount();
    for (int i = 1; i <= count; ++i) {
        const auto index = static_cast<qint16>(i);
        if (Present(decoded, index)) {
            rebuilt.SetField(index, decoded.GetField(index, {}));
        }
    }
    const QByteArray frame = rebuilt.Build(true, true);
    Check(decoded.Build(true, true) == frame, "the decoded instance builds the same frame");

    MessageCodec again;
    QByteArray rest = "x";
    Check(again.Parse(frame, rest) == MessageCodec::kDecoded, "a built frame parses");
    Check(rest.isEmpty(), "a built frame is consumed whole");
    Check(again.FieldCount() == count, "the same highest index");
    for (int i = 1; i <= count; ++i) {
        const auto index = static_cast<qint16>(i);
        Check(Present(again, index) == Present(decoded, index), "the same fields present");
        Check(again.GetField(index, {}) == decoded.GetField(index, {}), "the same values");
    }
}

void CheckOutcome(qint16 status, const MessageCodec& codec) {
    if (status == MessageCodec::kDecoded) {
        CheckRoundTrip(codec);
    } else {
        Check(codec.FieldCount() == 0, "nothing decoded is left in the instance");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    MessageCodec codec;
    QByteArray rest;
    const qint16 status = codec.Parse(input, rest);
    CheckRest(status, input, rest);
    CheckOutcome(status, codec);

    // The same bytes as a socket delivers them, in pieces of a size that the
    // input itself chooses, each followed by draining the buffer.
    const qsizetype piece = size == 0 ? 1 : 1 + data[0] % 97;
    QByteArray buffer;
    for (qsizetype at = 0; at < input.size(); at += piece) {
        buffer.append(input.mid(at, piece));
        for (;;) {
            const QByteArray before = buffer;
            const qint16 drained = codec.Parse(buffer, buffer);
            CheckRest(drained, before, buffer);
            CheckOutcome(drained, codec);
            // Every status but "incomplete" shrinks the buffer, so this ends.
            if (drained == MessageCodec::kIncomplete || buffer.isEmpty()) {
                break;
            }
        }
    }
    return 0;
}
