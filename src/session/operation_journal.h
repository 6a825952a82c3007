#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace mereval::session {

// journal.txt in the program's folder: one line per event of an operation,
// on the disk before the program goes on, so that after a crash or a power
// cut the till knows which payment's outcome nobody saw. UTF-8, fields
// separated by TAB:
//
//   time  session  start   kind  amount  receipt   written before the request goes out
//   time  session  end     outcome                 the result, or how the operation failed
//   time  session  warned                          the cashier was told the outcome is unknown
//   time  session  reprint                         the last receipts were printed again
//
// time is yyyy-MM-dd HH:mm:ss, session six digits, kind the tab's caption,
// "Aruanne" or "Eritoiming"; amount and receipt are what the request
// carried, empty where it carries none. Never card data. A line that a crash
// cut short is skipped when read.
class OperationJournal {
public:
    using Clock = std::function<QDateTime()>;

    explicit OperationJournal(Clock clock = &QDateTime::currentDateTime);

    static QString FilePath();
    static constexpr int kKeptLines = 10000;

    void Started(qint32 session, const QString& kind, const QString& amount,
                 const QString& receipt);
    void Ended(qint32 session, const QString& outcome);
    void Warned(qint32 session);
    void Reprinted(qint32 session);

    // At start-up: keeps the last kKeptLines lines, replaced atomically.
    void Trim() const;

    // The last payment-side operation (one of the five tabs) when it has
    // started, has no end and nobody was warned of it yet.
    struct Unknown {
        qint32 session = 0;
        QString kind;
        QString amountOrReceipt;
        QDateTime started;
    };
    std::optional<Unknown> UnknownOutcome() const;
    static QString WarningText(const Unknown& unknown);

private:
    void Append(qint32 session, const QString& event);

    Clock clock_;
    bool failureLogged_ = false;  // an unwritable folder is reported once per run
};

}  // namespace mereval::session
