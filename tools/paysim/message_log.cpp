#include "paysim/message_log.h"

#include "common/code_page.h"
#include "common/value_helpers.h"
#include "paysim/message_fields.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"

#include <QMap>

#include <algorithm>
#include <initializer_list>

namespace mereval::paysim {
namespace {

namespace code = session::catalogue::code;
namespace field = session::catalogue::field;
using session::MessageCodec;

constexpr qsizetype kHexShown = 32;
constexpr qsizetype kCardTail = 4;
// A PIN has 4 to 12 digits; a text no longer than that may be one.
constexpr qsizetype kLongestPin = 12;

enum class Form { Text, Byte, Long, Amount, Frame, CardText };

bool IsAnyOf(const QByteArray& code, std::initializer_list<const char*> codes) {
    return std::any_of(codes.begin(), codes.end(), [&code](const char* c) { return code == c; });
}

Form FormOf(const QByteArray& c, qint16 index) {
    if (index <= field::Session) {
        return Form::Text;
    }
    if (IsAnyOf(c,
                {code::StartTransaction, code::TipRequest, code::ReservationCompletionRequest}) &&
        index == field::Amount) {
        return Form::Amount;
    }
    if (IsAnyOf(c, {code::StartTransaction, code::InputResponse}) && index == field::CardData) {
        return Form::CardText;
    }
    if ((c == code::StartTransaction &&
         (index == field::TransactionKind || index == field::Reserved7 ||
          index == field::Reserved11 || index == field::Reserved14)) ||
        (IsAnyOf(c, {code::VoidRequest, code::TipRequest, code::ReservationCompletionRequest,
                     code::ButtonResponse, code::InputResponse}) &&
         index == field::ButtonCode) ||
        (c == code::InputBox && index == field::MaskedInput) ||
        (c == code::PosCommandRequest && index == field::PosCommand)) {
        return Form::Byte;
    }
    if ((IsAnyOf(c, {code::VoidRequest, code::TipRequest, code::ReservationCompletionRequest,
                     code::ApproveMessage}) &&
         index == field::ReceiptNumber) ||
        (IsAnyOf(c, {code::ButtonBox, code::InputBox}) && index == field::BoxButtons) ||
        (c == code::ReportData && (index == field::ReportVersion || index == field::RecordCount))) {
        return Form::Long;
    }
    if ((c == code::ApproveMessage && index == field::Receipts) ||
        (c == code::ReportData && index >= field::FirstRecord)) {
        return Form::Frame;
    }
    return Form::Text;
}

QString Hex(const QByteArray& bytes) {
    QString text = QString::fromLatin1(bytes.left(kHexShown).toHex(' ').toUpper());
    if (bytes.size() > kHexShown) {
        text += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    }
    return u'[' + text + u']';
}

bool IsPrintable(QChar c) {
    return c.unicode() >= 0x20 && (c.unicode() < 0x7F || c.unicode() > 0x9F);
}

// Quoted, with line breaks and tabs escaped so a message stays on one line;
// hex when other control characters show that the value is not text.
QString TextOrHex(const QByteArray& bytes) {
    const QString text = common::FromCodePage(bytes);
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'\r') {
            quoted += QStringLiteral("\\r");
        } else if (c == u'\n') {
            quoted += QStringLiteral("\\n");
        } else if (c == u'\t') {
            quoted += QStringLiteral("\\t");
        } else if (c == u'"' || c == u'\\') {
            quoted += u'\\';
            quoted += c;
        } else if (IsPrintable(c)) {
            quoted += c;
        } else {
            return Hex(bytes);
        }
    }
    return quoted + u'"';
}

QString FrameSummary(const QByteArray& bytes) {
    MessageCodec codec;
    QByteArray rest;
    if (codec.Parse(bytes, rest) != MessageCodec::kDecoded || !rest.isEmpty()) {
        return Hex(bytes);
    }
    return QStringLiteral("[frame: %1 fields, %2 bytes]")
        .arg(PresentFields(codec).size())
        .arg(bytes.size());
}

QString ValueText(Form form, const QByteArray& bytes) {
    switch (form) {
        case Form::Amount:
            return bytes.size() == 8 ? QString::number(session::DoubleFromBytes(bytes), 'f', 2) +
                                           u' ' + Hex(bytes)
                                     : Hex(bytes);
        case Form::Long:
            return bytes.size() == 4
                       ? QString::number(common::LongFromBytes(bytes)) + u' ' + Hex(bytes)
                       : Hex(bytes);
        case Form::Byte:
            return Hex(bytes);
        case Form::Frame:
            return FrameSummary(bytes);
        case Form::CardText:
            return TextOrHex(common::ToCodePage(MaskCardText(common::FromCodePage(bytes))));
        case Form::Text:
            break;
    }
    return TextOrHex(bytes);
}

// The code bare when it is the usual four digits, so the lines read well.
QString CodeText(const QMap<qint16, QByteArray>& fields) {
    if (!fields.contains(field::Code)) {
        return QStringLiteral("(no code)");
    }
    const QByteArray c = fields.value(field::Code);
    const bool digits = c.size() == 4 && std::all_of(c.begin(), c.end(), [](char ch) {
                            return ch >= '0' && ch <= '9';
                        });
    return digits ? QString::fromLatin1(c) : TextOrHex(c);
}

QString DirectionText(Direction direction) {
    return direction == Direction::In ? QStringLiteral("IN ") : QStringLiteral("OUT");
}

QString MessageLine(Direction direction, const QMap<qint16, QByteArray>& fields) {
    const QByteArray c = fields.value(field::Code);
    QString line = DirectionText(direction) + u' ' + CodeText(fields);
    // Report records are many; one summary stands for all of them.
    qsizetype records = 0;
    qsizetype recordBytes = 0;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        if (it.key() == field::Code) {
            continue;
        }
        if (c == code::ReportData && it.key() >= field::FirstRecord) {
            ++records;
            recordBytes += it.value().size();
            continue;
        }
        line +=
            QStringLiteral(" %1=%2").arg(it.key()).arg(ValueText(FormOf(c, it.key()), it.value()));
    }
    if (records > 0) {
        line += QStringLiteral(" %1..=[%2 records, %3 bytes]")
                    .arg(field::FirstRecord)
                    .arg(records)
                    .arg(recordBytes);
    }
    return line;
}

}  // namespace

QStringList DescribeTraffic(Direction direction, QByteArray& stream) {
    QStringList lines;
    while (!stream.isEmpty()) {
        const qsizetype before = stream.size();
        MessageCodec codec;
        const qint16 status = codec.Parse(stream, stream);
        if (status == MessageCodec::kIncomplete) {
            break;
        }
        if (status == MessageCodec::kDecoded) {
            lines.append(MessageLine(direction, PresentFields(codec)));
        } else {
            lines.append(QStringLiteral("%1 undecodable, %2 bytes dropped")
                             .arg(DirectionText(direction))
                             .arg(before - stream.size()));
        }
    }
    return lines;
}

QString MaskCardText(const QString& text) {
    const qsizetype masked = text.size() > kLongestPin ? text.size() - kCardTail : text.size();
    return QString(masked, u'*') + text.mid(masked);
}

}  // namespace mereval::paysim
