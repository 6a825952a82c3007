#include "paysim/message_fields.h"

namespace mereval::paysim {

QByteArray BuildFrame(const FieldList& fields) {
    session::MessageCodec codec;
    for (const auto& [index, value] : fields) {
        codec.SetField(index, value);
    }
    return codec.Build(true, true);
}

QMap<qint16, QByteArray> PresentFields(const session::MessageCodec& codec) {
    // The codec answers a missing field with the caller's default, so a field
    // is present exactly when two different defaults give the same value.
    static const QByteArray kOneDefault(1, 'a');
    static const QByteArray kOtherDefault(1, 'b');
    QMap<qint16, QByteArray> fields;
    const int count = codec.FieldCount();
    for (int i = 1; i <= count; ++i) {
        const auto index = static_cast<qint16>(i);
        const QByteArray value = codec.GetField(index, kOneDefault);
        if (value != kOneDefault || codec.GetField(index, kOtherDefault) != kOtherDefault) {
            fields.insert(index, value);
        }
    }
    return fields;
}

}  // namespace mereval::paysim
