#pragma once

#include "platform/spooler.h"
#include "support/qt_print_to.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <ostream>

namespace mereval::test {

// A spooler that keeps everything in memory and fails the steps a test
// names: "StartDocument", "StartPage", "Write", "EndPage", "EndDocument",
// "Cancel", "SetJobName".
class FakeSpooler final : public platform::Spooler {
public:
    QStringList printers{QStringLiteral("Kassa")};
    QSet<QString> failing;
    qint32 writtenShortBy = 0;  // the spooler reports fewer bytes than it took

    QList<QByteArray> writes;     // every write, as handed over
    QList<QByteArray> documents;  // the bytes of every ended document
    QStringList calls;
    qint32 openPrinters = 0;
    qint32 lastPriority = 0;

    QStringList PrinterNames() override { return printers; }
    QString DefaultPrinterName() override { return printers.value(0); }

    qint32 OpenPrinter(const QString& name) override {
        calls.append(QStringLiteral("Open ") + name);
        if (!printers.contains(name)) {
            return 0;
        }
        ++openPrinters;
        return 7;
    }
    qint32 StartDocument(qint32, const QString& name, const QString&) override {
        calls.append(QStringLiteral("StartDocument ") + name);
        current_.clear();
        return failing.contains(QStringLiteral("StartDocument")) ? 0 : ++jobs_;
    }
    bool StartPage(qint32) override { return Step(QStringLiteral("StartPage")); }
    bool WritePrinter(qint32, QByteArrayView bytes, qint32& written) override {
        writes.append(bytes.toByteArray());
        written = 0;
        if (!Step(QStringLiteral("Write"))) {
            return false;
        }
        current_ += bytes.toByteArray();
        written = static_cast<qint32>(bytes.size()) - writtenShortBy;
        return true;
    }
    bool EndPage(qint32) override { return Step(QStringLiteral("EndPage")); }
    bool EndDocument(qint32) override {
        if (!Step(QStringLiteral("EndDocument"))) {
            return false;
        }
        documents.append(current_);
        return true;
    }
    bool ClosePrinter(qint32) override {
        calls.append(QStringLiteral("ClosePrinter"));
        --openPrinters;
        return true;
    }
    bool CancelJob(qint32, qint32) override { return Step(QStringLiteral("Cancel")); }
    bool SetJobName(qint32, qint32, const QString&) override {
        return Step(QStringLiteral("SetJobName"));
    }
    bool SetJobPriority(qint32, qint32, qint32 priority) override {
        lastPriority = priority;
        return true;
    }
    std::optional<qint32> JobPriority(qint32, qint32) override { return lastPriority; }

private:
    bool Step(const QString& name) {
        calls.append(name);
        return !failing.contains(name);
    }

    QByteArray current_;
    qint32 jobs_ = 0;
};

}  // namespace mereval::test
