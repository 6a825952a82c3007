#pragma once

#include "support/printer_listener.h"
#include "support/private_cups.h"

#include <QString>

#include <gtest/gtest.h>

namespace mereval::test {

// Long enough for a loaded machine; a job normally arrives in well under a
// second.
inline constexpr int kPrintWaitMs = 20000;

// The test binary's private cupsd, started before its first test.
PrivateCups& Cups();

// A test that prints on a raw queue of the private server whose device is
// its own listener. Each test has a queue of its own, deleted at its end
// with whatever jobs it still holds.
class CupsPrintingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh queue name of this process.
    static QString NewQueueName();
    // A raw queue to 127.0.0.1:port, deleted at the end of the test.
    QString AddQueue(quint16 port);

    bool WaitJobs(const PrinterListener& listener, int count) const;
    // The state (IPP job-state) that the job reaches, or 0 when it does not
    // within the wait.
    int WaitJobState(qint32 job, int state) const;

    QString queue_;
    PrinterListener listener_;

private:
    QStringList queues_;
};

}  // namespace mereval::test
