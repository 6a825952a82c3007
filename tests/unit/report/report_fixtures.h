#pragma once

#include "platform/document_opener.h"
#include "report/report_table.h"
#include "session/message_codec.h"
#include "session/session_view.h"
#include "support/qt_print_to.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

namespace mereval::test {

// One transaction record of "0020"; a field left at nullopt is not sent.
struct Record {
    std::optional<QByteArray> terminal = QByteArray("70011001");
    std::optional<QByteArray> dateTime = QByteArray("240312143005");
    std::optional<qint32> stan = 1234;
    std::optional<double> amount = 10.0;
    std::optional<QByteArray> card = QByteArray("476173******0010");
    std::optional<QByteArray> sendStatus = QByteArray(1, '\x05');
    std::optional<QByteArray> flags = QByteArray("000000");
    std::optional<qint32> responseCode = 0;
    std::optional<qint32> cancelled = 0;
};

QByteArray RecordFrame(const Record& record);

// A "0020" body as the dispatcher hands it over: built and parsed again.
// Records go to fields 100 onwards; count defaults to their number.
session::MessageCodec ReportMessage(const QList<QByteArray>& records,
                                    std::optional<qint32> count = std::nullopt,
                                    std::optional<qint32> version = 0);

// A table row as decoding makes it, for layout tests.
struct TableRow {
    QString terminal = QStringLiteral("70011001");
    QString date = QStringLiteral("12.03.2024");
    QString time = QStringLiteral("14:30:05");
    QString stan = QStringLiteral("1234");
    QString card = QStringLiteral("476173******0010");
    QString code = QStringLiteral(" 0");
    double amount = 10;
    bool sent = true;
    bool tip = false;
    bool reservation = false;
    bool cancelled = false;
    bool declined = false;  // counts 0
};
report::ReportTable MakeTable(const QList<TableRow>& rows);

// The window as a report sees it.
class ReportViewDouble final : public session::SessionView {
public:
    QStringList statusLines;
    QStringList boxes;  // texts of error boxes (type 0, buttons 16); others are marked
    int entryClears = 0;
    QList<bool> runningSwitches;

    session::OperationTab SelectedTab() const override {
        return session::OperationTab::CardPayment;
    }
    QString EntryText(session::EntryField) const override { return {}; }
    QString TakeCardTrack() override { return {}; }
    void ShowStatusLine(const QString& text) override { statusLines.append(text); }
    void ShowSessionText(const QString&) override {}
    void SetOperationRunning(bool running) override { runningSwitches.append(running); }
    void ClearCardNumber() override {}
    void ClearEntryFields() override { ++entryClears; }
    void ShowOperationFrame() override {}
    void OpenBox(quint8 type, const QString& text, qint32 buttons) override {
        boxes.append(type == session::kBoxMessage && buttons == session::kErrorBoxButtons
                         ? text
                         : QStringLiteral("unexpected box: ") + text);
    }
    void ReleaseBoxes() override {}
    void PrintReceipts(const QByteArray&, qint32, std::function<void()> done) override { done(); }
};

class OpenerDouble final : public platform::DocumentOpener {
public:
    bool result = true;
    QStringList opened;
    bool OpenDocument(const QString& path) override {
        opened.append(path);
        return result;
    }
};

}  // namespace mereval::test
