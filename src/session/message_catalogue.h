#pragma once

#include <QByteArray>
#include <QtGlobal>

// The vocabulary of the payment-system conversation: message codes, field
// indices, the defaults that readers supply and the fixed byte values. Every
// builder, handler and the simulator take them from here.
namespace mereval::session::catalogue {

// Message codes (field 1).
namespace code {
inline constexpr char StartTransaction[] = "0001";
inline constexpr char StatusText[] = "0002";
inline constexpr char KeepAlive[] = "0003";
inline constexpr char ReleaseBoxes[] = "0004";
inline constexpr char AbortRequest[] = "0005";
inline constexpr char TransactionDeclined[] = "0006";
inline constexpr char ButtonBox[] = "0008";
inline constexpr char InputBox[] = "0009";
inline constexpr char ButtonResponse[] = "0010";
inline constexpr char InputResponse[] = "0011";
inline constexpr char ApproveMessage[] = "0012";
inline constexpr char DeclineMessage[] = "0013";
inline constexpr char VoidRequest[] = "0016";
inline constexpr char TipRequest[] = "0017";
inline constexpr char ReservationCompletionRequest[] = "0018";
inline constexpr char ReportRequest[] = "0019";
inline constexpr char ReportData[] = "0020";
inline constexpr char EndTransaction[] = "0023";
inline constexpr char PosCommandRequest[] = "0026";
inline constexpr char PosCommandResponse[] = "0027";
}  // namespace code

// Field indices. The header fields are common to every message; the body
// fields are named after their use, several uses share one index.
namespace field {
inline constexpr qint16 Code = 1;
inline constexpr qint16 PosId = 2;
inline constexpr qint16 Session = 3;

inline constexpr qint16 Amount = 4;           // "0001", "0017", "0018"
inline constexpr qint16 Text = 5;             // status, decline, box and input texts
inline constexpr qint16 CardData = 5;         // "0001"
inline constexpr qint16 InputText = 5;        // "0011"
inline constexpr qint16 PeriodStart = 5;      // "0019"
inline constexpr qint16 TransactionKind = 6;  // "0001": byte 0 payment, byte 1 reservation
inline constexpr qint16 ReportVersion = 6;    // "0020": a number 0..9
inline constexpr qint16 Reserved7 = 7;        // "0001": byte 0
inline constexpr qint16 PosCommand = 7;       // "0026"
inline constexpr qint16 DeclineCode = 9;      // "0006", "0013"
inline constexpr qint16 PeriodEnd = 9;        // "0019"
inline constexpr qint16 BoxButtons = 10;      // "0008", "0009"
inline constexpr qint16 RecordCount = 10;     // "0020"
inline constexpr qint16 ButtonCode = 11;      // "0010", "0011"
inline constexpr qint16 Reserved11 = 11;      // "0001", "0016" to "0018": byte 0
inline constexpr qint16 Receipts = 12;        // "0012"
inline constexpr qint16 ReceiptNumber = 13;   // "0016", "0017", "0018"
inline constexpr qint16 Stan = 13;            // "0012"
inline constexpr qint16 MaskedInput = 14;     // "0009": byte 1 asks for masked input
inline constexpr qint16 Reserved14 = 14;      // "0001": byte 0
inline constexpr qint16 FirstRecord = 100;    // "0020": records 1..N at 100..99+N
}  // namespace field

// Fields of one transaction record inside "0020".
namespace record {
inline constexpr qint16 Terminal = 1;
inline constexpr qint16 DateTime = 2;  // yymmddhhnnss
inline constexpr qint16 Stan = 3;
inline constexpr qint16 Amount = 4;
inline constexpr qint16 Card = 5;
inline constexpr qint16 SendStatus = 6;  // byte below 200: sent
inline constexpr qint16 Flags = 7;       // char 5 "1": reservation, char 6 "1": tip
inline constexpr qint16 ResponseCode = 8;
inline constexpr qint16 Cancelled = 9;  // number above 0: cancelled
}  // namespace record

// Defaults that readers supply for missing fields.
inline QByteArray HeaderDefault() {
    return QByteArrayLiteral("**");
}
inline QByteArray DeclineCodeDefault() {
    return QByteArrayLiteral("###");
}
inline QByteArray NumberDefault() {
    return QByteArray(4, '\0');
}  // box flags: 0

// Byte values of the one-byte fields.
inline QByteArray ByteValue(quint8 value) {
    return QByteArray(1, static_cast<char>(value));
}
inline constexpr quint8 KindPayment = 0;
inline constexpr quint8 KindReservation = 1;
inline constexpr quint8 MaskedInputOn = 1;

inline constexpr int SessionDigits = 6;
inline constexpr qint32 MaxSession = 999999;

}  // namespace mereval::session::catalogue
