// The receive buffer and dispatcher under a stream of small messages: the
// simulator answers a card payment with N status texts and keep-alives,
// written in 1,460-byte pieces, then the approval. Prints microseconds per
// message for 2,000 and 20,000 messages and their time ratio (target at
// most 11: linear), and the longest the event loop went without turning
// meanwhile (target at most 50 ms), seen by a 1 ms timer.
#include "common/program_settings.h"
#include "paysim/message_fields.h"
#include "paysim/paysim_server.h"
#include "session/message_catalogue.h"
#include "session/payment_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

using namespace mereval;
namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

constexpr qsizetype kPieceSize = 1460;

class CountingView : public session::SessionView {
public:
    session::OperationTab SelectedTab() const override {
        return session::OperationTab::CardPayment;
    }
    QString EntryText(session::EntryField) const override { return QStringLiteral("12.00"); }
    QString TakeCardTrack() override { return QStringLiteral(";4761739001010010=2512?"); }
    void ShowStatusLine(const QString&) override { ++statusLines; }
    void ShowSessionText(const QString&) override {}
    void SetOperationRunning(bool) override {}
    void ClearCardNumber() override {}
    void ClearEntryFields() override { approved = true; }
    void ShowOperationFrame() override {}
    void OpenBox(quint8, const QString&, qint32) override {}
    void ReleaseBoxes() override {}
    void PrintReceipts(const QByteArray&, qint32, std::function<void()> done) override { done(); }

    int statusLines = 0;
    bool approved = false;
};

QByteArray Stream(const paysim::Conversation& conversation, int messages) {
    QByteArray stream;
    for (int i = 0; i < messages; ++i) {
        paysim::FieldList fields = {{field::Code, i % 2 == 0 ? code::StatusText : code::KeepAlive},
                                    {field::PosId, conversation.PosId()},
                                    {field::Session, conversation.Session()}};
        if (i % 2 == 0) {
            fields.emplace_back(field::Text, "Palun oota... " + QByteArray::number(i));
        }
        stream += paysim::BuildFrame(fields);
    }
    return stream + paysim::BuildFrame({{field::Code, code::ApproveMessage},
                                        {field::PosId, conversation.PosId()},
                                        {field::Session, conversation.Session()}});
}

struct Result {
    double ms = 0;
    qint64 worstGapMs = 0;
};

Result Run(int messages) {
    QTemporaryDir home;
    qputenv("MEREVAL_HOME", home.path().toLocal8Bit());
    qputenv("MEREVAL_SETTINGS", home.filePath(QStringLiteral("Tellur.conf")).toLocal8Bit());

    paysim::PaySimServer server;
    server.Listen();
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    bool sent = false;  // the simulator's own writing is not the dispatcher's stall
    server.SetScript(
        [&](paysim::Conversation& conversation, const paysim::ReceivedMessage& message) {
            if (message.Code() != code::StartTransaction) {
                return paysim::ScriptResult::RunScenario;
            }
            const QByteArray stream = Stream(conversation, messages);
            clock.start();
            for (qsizetype at = 0; at < stream.size(); at += kPieceSize) {
                conversation.SendRaw(stream.mid(at, kPieceSize));
            }
            sent = true;
            sinceTick.restart();
            return paysim::ScriptResult::Handled;
        });

    CountingView view;
    common::ProgramSettings settings = common::LoadProgramSettings();
    settings.fPort = server.Port();
    session::PaymentSession payment(view, settings, {5000, 60000, 5000});

    qint64 worstGap = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (sent) {
            worstGap = std::max(worstGap, sinceTick.elapsed());
        }
        sinceTick.restart();
    });
    sinceTick.start();
    ticker.start();

    payment.StartOperation();
    while (!view.approved) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    Result result;
    result.ms = double(clock.nsecsElapsed()) / 1e6;
    result.worstGapMs = worstGap;
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    Run(2000);  // warm-up
    Result small{1e300, 0};
    Result large{1e300, 0};
    for (int round = 0; round < 5; ++round) {
        const Result s = Run(2000);
        const Result l = Run(20000);
        small.ms = std::min(small.ms, s.ms);
        large.ms = std::min(large.ms, l.ms);
        small.worstGapMs = std::max(small.worstGapMs, s.worstGapMs);
        large.worstGapMs = std::max(large.worstGapMs, l.worstGapMs);
    }
    std::printf("dispatch of small messages in %lld-byte pieces (best of 5)\n",
                static_cast<long long>(kPieceSize));
    std::printf("   2,000 messages %9.1f ms  %6.2f us/message\n", small.ms, small.ms * 1000 / 2000);
    std::printf("  20,000 messages %9.1f ms  %6.2f us/message\n", large.ms,
                large.ms * 1000 / 20000);
    std::printf("  ratio 20,000 / 2,000   %6.2f  (target at most 11)\n", large.ms / small.ms);
    std::printf("  longest event-loop stall %lld ms  (target at most 50)\n",
                static_cast<long long>(std::max(small.worstGapMs, large.worstGapMs)));
    return 0;
}
