#include "session/message_codec.h"

#include <cstring>

namespace mereval::session {
namespace {

constexpr int kMaxVarintBytes = 10;
constexpr quint32 kLengthDelimited = 2;

enum class VarintResult { Ok, NeedMore, Bad };

// Reads a varint of at most ten bytes starting at *pos.
VarintResult ReadVarint(const char* data, qint64 size, qint64* pos, quint64* value) {
    quint64 result = 0;
    for (int i = 0; i < kMaxVarintBytes; ++i) {
        if (*pos + i >= size) {
            return VarintResult::NeedMore;
        }
        const auto byte = static_cast<quint8>(data[*pos + i]);
        if (i == kMaxVarintBytes - 1 && byte > 1) {
            return VarintResult::Bad;  // more than 64 bits
        }
        result |= quint64(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0) {
            *pos += i + 1;
            *value = result;
            return VarintResult::Ok;
        }
    }
    return VarintResult::Bad;
}

int VarintSize(quint64 value) {
    int size = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++size;
    }
    return size;
}

char* WriteVarint(char* out, quint64 value) {
    while (value >= 0x80) {
        *out++ = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<char>(value);
    return out;
}

}  // namespace

void MessageCodec::Clear() { fields_.clear(); }

QByteArray MessageCodec::GetField(qint16 index, const QByteArray& defaultValue) const {
    if (index <= 0 || static_cast<size_t>(index) >= fields_.size() || !fields_[index].present) {
        return defaultValue;
    }
    return fields_[index].value;
}

bool MessageCodec::SetField(qint16 index, const QByteArray& value) {
    if (index <= 0) {
        return false;
    }
    if (static_cast<size_t>(index) >= fields_.size()) {
        fields_.resize(static_cast<size_t>(index) + 1);
    }
    fields_[index].present = true;
    fields_[index].value = value;
    return true;
}

qint16 MessageCodec::FieldCount() const {
    for (size_t i = fields_.size(); i-- > 1;) {
        if (fields_[i].present) {
            return static_cast<qint16>(i);
        }
    }
    return 0;
}

QByteArray MessageCodec::Build(bool, bool) const {
    qint64 bodySize = 0;
    for (size_t i = 1; i < fields_.size(); ++i) {
        if (fields_[i].present) {
            const qint64 length = fields_[i].value.size();
            bodySize += VarintSize((quint64(i) << 3) | kLengthDelimited) +
                        VarintSize(quint64(length)) + length;
        }
    }
    QByteArray frame(VarintSize(quint64(bodySize)) + bodySize, Qt::Uninitialized);
    char* out = WriteVarint(frame.data(), quint64(bodySize));
    for (size_t i = 1; i < fields_.size(); ++i) {
        if (fields_[i].present) {
            const QByteArray& value = fields_[i].value;
            out = WriteVarint(out, (quint64(i) << 3) | kLengthDelimited);
            out = WriteVarint(out, quint64(value.size()));
            if (!value.isEmpty()) {
                std::memcpy(out, value.constData(), static_cast<size_t>(value.size()));
                out += value.size();
            }
        }
    }
    return frame;
}

qint16 MessageCodec::Parse(const QByteArray& data, QByteArray& rest) {
    Clear();
    const char* bytes = data.constData();
    const qint64 size = data.size();

    qint64 pos = 0;
    quint64 bodySize = 0;
    switch (ReadVarint(bytes, size, &pos, &bodySize)) {
        case VarintResult::NeedMore:
            if (&rest != &data) {
                rest = data;
            }
            return kIncomplete;
        case VarintResult::Bad:
            rest.clear();
            return kBadPrefix;
        case VarintResult::Ok:
            break;
    }
    if (bodySize > quint64(kMaxBodySize)) {
        rest.clear();
        return kBadPrefix;
    }
    const qint64 frameEnd = pos + qint64(bodySize);
    if (frameEnd > size) {
        if (&rest != &data) {
            rest = data;
        }
        return kIncomplete;
    }

    qint16 status = kDecoded;
    while (pos < frameEnd) {
        quint64 tag = 0;
        quint64 length = 0;
        if (ReadVarint(bytes, frameEnd, &pos, &tag) != VarintResult::Ok ||
            (tag & 7) != kLengthDelimited || (tag >> 3) == 0 || (tag >> 3) > quint64(kMaxIndex) ||
            ReadVarint(bytes, frameEnd, &pos, &length) != VarintResult::Ok ||
            length > quint64(frameEnd - pos)) {
            status = kMalformed;
            break;
        }
        SetField(static_cast<qint16>(tag >> 3), QByteArray(bytes + pos, qint64(length)));
        pos += qint64(length);
    }
    if (status != kDecoded) {
        Clear();
    }

    if (&rest == &data) {
        rest.remove(0, frameEnd);  // drops the front in place when rest is not shared
    } else {
        rest = data.sliced(frameEnd);
    }
    return status;
}

}  // namespace mereval::session
