#include "paysim/message_log.h"
#include "paysim/paysim_server.h"
#include "paysim/report_generator.h"
#include "paysim/scenarios.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QTextStream>

#include <cstdio>

namespace {

using namespace mereval::paysim;

constexpr quint16 kDefaultPort = 8145;
constexpr int kDefaultDelayMs = 400;
constexpr int kDefaultKeepAliveMs = 5000;
constexpr qint32 kDefaultReportRows = 40;
constexpr int kMaxPauseMs = 600000;

QString Description() {
    return QStringLiteral(
               "Plays the payment system for the Mereval cashier program on 127.0.0.1.\n"
               "One operation is one TCP connection: the request, the messages of its scenario,\n"
               "the client's \"0023\" and the reply \"0023\"; then the client closes.\n"
               "Every reply copies the POS identifier (field 2) and the session (field 3) of\n"
               "the client's latest message. With --pos ID, replies carry ID as their POS\n"
               "identifier instead: a cashier whose POS setting differs drops them and times "
               "out.\n\n"
               "Card payment and reservation \"0001\", tip \"0017\" and reservation completion\n"
               "\"0018\": the cents of the amount choose the scenario (-12.34 counts as .34):\n") +
           ScenarioHelpText() +
           QStringLiteral(
               "\n\n"
               "Cancellation \"0016\": status text, then approval as .00.\n"
               "Abort \"0005\" before the result: the pending messages are dropped and the\n"
               "  decline \"0013\" \"Katkestatud\" (code 17) follows.\n"
               "End \"0023\": answered with \"0023\".\n"
               "POS command \"0026\": status text, then \"0027\".\n"
               "Report \"0019\": status text, then \"0020\" with --report-rows records dated\n"
               "  inside the period of fields 5 and 9; the same period and count give the same\n"
               "  records.\n"
               "Unknown codes and undecodable data are logged and ignored.\n\n"
               "Every message received and sent is logged to standard output on one line;\n"
               "card data shows only its last four characters.");
}

// A whole number from lowest to highest, or an explanation on standard error.
bool ReadNumber(const QCommandLineParser& parser, const QCommandLineOption& option, int lowest,
                int highest, int* value) {
    bool ok = false;
    *value = parser.value(option).toInt(&ok);
    if (ok && *value >= lowest && *value <= highest) {
        return true;
    }
    QTextStream(stderr) << QStringLiteral(
                               "mereval-paysim: --%1 takes a whole number from %2 to %3\n")
                               .arg(option.names().constFirst())
                               .arg(lowest)
                               .arg(highest);
    return false;
}

void Print(QTextStream& out, int connection, const QString& text) {
    out << QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))
        << QStringLiteral(" #%1 ").arg(connection) << text << Qt::endl;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mereval-paysim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(Description());
    parser.addHelpOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Listen on port N of 127.0.0.1 (default %1; 0 picks a free one).")
            .arg(kDefaultPort),
        QStringLiteral("N"), QString::number(kDefaultPort));
    const QCommandLineOption posOption(
        QStringLiteral("pos"),
        QStringLiteral("Replies carry ID as their POS identifier instead of the request's."),
        QStringLiteral("ID"));
    const QCommandLineOption rowsOption(
        QStringLiteral("report-rows"),
        QStringLiteral("Records in each report \"0020\", 0 to %1 (default %2).")
            .arg(kMaxReportRows)
            .arg(kDefaultReportRows),
        QStringLiteral("N"), QString::number(kDefaultReportRows));
    const QCommandLineOption delayOption(
        QStringLiteral("delay-ms"),
        QStringLiteral("Pause in ms before each message sent (default %1).").arg(kDefaultDelayMs),
        QStringLiteral("N"), QString::number(kDefaultDelayMs));
    const QCommandLineOption keepAliveOption(
        QStringLiteral("keepalive-ms"),
        QStringLiteral("Interval in ms of the keep-alives of scenario .05 (default %1).")
            .arg(kDefaultKeepAliveMs),
        QStringLiteral("N"), QString::number(kDefaultKeepAliveMs));
    parser.addOptions({portOption, posOption, rowsOption, delayOption, keepAliveOption});
    parser.process(app);

    int port = 0;
    PaySimSettings settings;
    if (!ReadNumber(parser, portOption, 0, 65535, &port) ||
        !ReadNumber(parser, rowsOption, 0, kMaxReportRows, &settings.reportRows) ||
        !ReadNumber(parser, delayOption, 0, kMaxPauseMs, &settings.messageDelayMs) ||
        !ReadNumber(parser, keepAliveOption, 1, kMaxPauseMs, &settings.keepAliveIntervalMs)) {
        return 1;
    }
    settings.replyPosId = parser.value(posOption).toLatin1();

    PaySimServer server(settings);
    QTextStream out(stdout);
    // Frames that a scenario writes in pieces are described once whole.
    QHash<int, QByteArray> unsentParts;
    QObject::connect(&server, &PaySimServer::connectionOpened, &server,
                     [&out](int c) { Print(out, c, QStringLiteral("connected")); });
    QObject::connect(&server, &PaySimServer::connectionClosed, &server, [&](int c) {
        unsentParts.remove(c);
        Print(out, c, QStringLiteral("closed"));
    });
    QObject::connect(&server, &PaySimServer::messageReceived, &server,
                     [&out](int c, QByteArray frame) {
                         for (const QString& line : DescribeTraffic(Direction::In, frame)) {
                             Print(out, c, line);
                         }
                     });
    QObject::connect(&server, &PaySimServer::frameSent, &server,
                     [&](int c, const QByteArray& bytes) {
                         QByteArray& stream = unsentParts[c];
                         stream += bytes;
                         for (const QString& line : DescribeTraffic(Direction::Out, stream)) {
                             Print(out, c, line);
                         }
                     });
    QObject::connect(&server, &PaySimServer::garbageReceived, &server,
                     [&out](int c, qint16 status, const QByteArray& bytes) {
                         Print(out, c,
                               (status == mereval::session::MessageCodec::kMalformed
                                    ? QStringLiteral("IN  malformed frame, %1 bytes dropped")
                                    : QStringLiteral("IN  unusable length prefix, %1 bytes "
                                                     "discarded"))
                                   .arg(bytes.size()));
                     });
    QObject::connect(&server, &PaySimServer::eventNoted, &server,
                     [&out](int c, const QString& text) { Print(out, c, text); });

    if (!server.Listen(static_cast<quint16>(port))) {
        QTextStream(stderr) << QStringLiteral("mereval-paysim: cannot listen on 127.0.0.1:%1: %2\n")
                                   .arg(port)
                                   .arg(server.ErrorString());
        return 1;
    }
    out << QStringLiteral("mereval-paysim listening on 127.0.0.1:%1").arg(server.Port())
        << Qt::endl;
    return QCoreApplication::exec();
}
