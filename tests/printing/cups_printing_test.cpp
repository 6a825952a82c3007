#include "printing/cups_printing_test.h"

#include <QTest>

#include <memory>

namespace mereval::test {
namespace {

class CupsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        cups = std::make_unique<PrivateCups>();
        QString error;
        ASSERT_TRUE(cups->Start(error)) << error.toStdString();
    }
    void TearDown() override { cups.reset(); }

    std::unique_ptr<PrivateCups> cups;
};

CupsEnvironment* const environment = [] {
    auto* created = new CupsEnvironment;
    ::testing::AddGlobalTestEnvironment(created);
    return created;
}();

}  // namespace

PrivateCups& Cups() {
    return *environment->cups;
}

void CupsPrintingTest::SetUp() {
    ASSERT_TRUE(listener_.Listen());
    queue_ = AddQueue(listener_.Port());
    ASSERT_FALSE(queue_.isEmpty()) << Cups().LogTail().toStdString();
}

void CupsPrintingTest::TearDown() {
    for (const QString& queue : queues_) {
        Cups().DeleteQueue(queue);
    }
}

QString CupsPrintingTest::NewQueueName() {
    static int count = 0;
    return QStringLiteral("Kassa%1").arg(++count);
}

QString CupsPrintingTest::AddQueue(quint16 port) {
    const QString name = NewQueueName();
    if (!Cups().AddRawQueue(name, port)) {
        return {};
    }
    queues_.append(name);
    return name;
}

bool CupsPrintingTest::WaitJobs(const PrinterListener& listener, int count) const {
    return QTest::qWaitFor([&] { return listener.Jobs().size() >= count; }, kPrintWaitMs);
}

int CupsPrintingTest::WaitJobState(qint32 job, int state) const {
    int last = 0;
    // The last state seen tells more than a time-out.
    [[maybe_unused]] const bool reached = QTest::qWaitFor(
        [&] {
            const auto found = Cups().Job(job);
            last = found ? found->state : 0;
            return last == state;
        },
        kPrintWaitMs);
    return last;
}

}  // namespace mereval::test
