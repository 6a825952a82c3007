#pragma once

#include "support/printer_listener.h"
#include "support/private_cups.h"
#include "support/qt_print_to.h"

#include <QTest>

#include <gtest/gtest.h>

namespace mereval::test {

// Long enough for a loaded machine; a job normally arrives in well under a
// second.
inline constexpr int kPrintWaitMs = 20000;

// The test binary's private cupsd, started before its first test.
inline PrivateCups& Cups() {
    class Environment : public ::testing::Environment {
    public:
        void SetUp() override {
            QString error;
            ASSERT_TRUE(cups.Start(error)) << error.toStdString();
        }
        PrivateCups cups;
    };
    static auto* const environment =
        static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));
    return environment->cups;
}
inline const bool kCupsRegistered = (Cups(), true);

// A test that prints on a raw queue of its own, whose device is its own
// listener; the queues it adds go at its end with whatever jobs they hold.
class CupsPrintingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener_.Listen());
        queue_ = AddQueue(listener_.Port());
        ASSERT_FALSE(queue_.isEmpty()) << Cups().LogTail().toStdString();
    }
    void TearDown() override {
        for (const QString& queue : queues_) {
            Cups().DeleteQueue(queue);
        }
    }

    QString AddQueue(quint16 port) {
        queues_.append(QStringLiteral("Kassa%1").arg(queues_.size() + 1));
        return Cups().AddRawQueue(queues_.last(), port) ? queues_.last() : QString();
    }
    bool WaitJobs(int count) const {
        return QTest::qWaitFor([&] { return listener_.Jobs().size() >= count; }, kPrintWaitMs);
    }
    // The IPP job-state that the job reaches, or the last one seen.
    int WaitJobState(qint32 job, int state) const {
        int last = 0;
        [[maybe_unused]] const bool reached = QTest::qWaitFor(
            [&] {
                const auto found = Cups().Job(job);
                last = found ? found->state : 0;
                return last == state;
            },
            kPrintWaitMs);
        return last;
    }

    QString queue_;
    PrinterListener listener_;

private:
    QStringList queues_;
};

}  // namespace mereval::test
