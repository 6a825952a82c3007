#pragma once

#include "session/message_codec.h"
#include "support/printer_listener.h"
#include "support/private_cups.h"
#include "support/qt_print_to.h"

#include <QTest>

#include <gtest/gtest.h>

namespace mereval::test {

// Long enough for a loaded machine; a job normally arrives in well under a
// second.
inline constexpr int kPrintWaitMs = 20000;

// The test binary's private cupsd, started before its first printing test.
inline PrivateCups& Cups() {
    static PrivateCups cups;
    return cups;
}

// A receipt block: a frame whose fields 1..n are the texts.
inline QByteArray ReceiptBlock(const QList<QByteArray>& texts) {
    session::MessageCodec codec;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        codec.SetField(static_cast<qint16>(i + 1), texts[i]);
    }
    return codec.Build();
}

// A test that prints on a raw queue of its own, whose device is its own
// listener; the queues it adds go at its end with whatever jobs they hold.
class CupsPrintingTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QString error;
        static const bool started = Cups().Start(error);
        ASSERT_TRUE(started) << error.toStdString();
        ASSERT_TRUE(listener_.Listen());
        queue_ = AddQueue(listener_.Port());
        ASSERT_FALSE(queue_.isEmpty());
    }
    void TearDown() override {
        for (const QString& queue : queues_) {
            Cups().Admin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue});
        }
    }

    QString AddQueue(quint16 port) {
        queues_.append(QStringLiteral("Kassa%1").arg(queues_.size() + 1));
        return Cups().AddRawQueue(queues_.last(), port) ? queues_.last() : QString();
    }
    bool WaitJobs(int count) const {
        return QTest::qWaitFor([&] { return listener_.Jobs().size() >= count; }, kPrintWaitMs);
    }
    QString queue_;
    PrinterListener listener_;

private:
    QStringList queues_;
};

}  // namespace mereval::test
