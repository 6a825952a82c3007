#include "session/operation_journal.h"

#include "common/error_log.h"
#include "common/file_path.h"
#include "platform/durable_file.h"
#include "platform/program_folder.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"

#include <QFile>
#include <QSet>
#include <QStringList>

#include <cstring>

namespace mereval::session {
namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kStart = QStringLiteral("start");
const QString kEnd = QStringLiteral("end");
const QString kWarned = QStringLiteral("warned");

// The kinds whose outcome is money: the captions of the five tabs.
bool IsPaymentKind(const QString& kind) {
    return kind != QStringLiteral("Aruanne") && kind != QStringLiteral("Eritoiming");
}

struct Line {
    QDateTime when;
    qint32 session = 0;
    QStringList fields;  // the event and what follows it
};

// A line a crash cut short, or one that is not ours, reads as nothing.
std::optional<Line> ParseLine(const QString& text) {
    const QStringList parts = text.split(u'\t');
    if (parts.size() < 3) {
        return std::nullopt;
    }
    Line line;
    line.when = QDateTime::fromString(parts[0], kTimeFormat);
    bool number = false;
    line.session = parts[1].toInt(&number);
    line.fields = parts.mid(2);
    const QString& event = line.fields[0];
    const bool complete = (event == kStart && line.fields.size() == 4) ||
                          (event == kEnd && line.fields.size() == 2) || line.fields.size() == 1;
    if (!line.when.isValid() || !number || parts[1].size() != catalogue::SessionDigits ||
        !complete) {
        return std::nullopt;
    }
    return line;
}

// Whole lines only: the bytes after the last line break were cut by a crash.
QStringList ReadLines() {
    QFile file(OperationJournal::FilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return QString::fromUtf8(bytes.left(bytes.lastIndexOf('\n') + 1))
        .split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace

OperationJournal::OperationJournal(Clock clock) : clock_(std::move(clock)) {}

QString OperationJournal::FilePath() {
    return common::MakeFilePath(platform::ProgramFolder(), QStringLiteral("journal.txt"));
}

void OperationJournal::Started(qint32 session, const QString& kind, const QString& amount,
                               const QString& receipt) {
    Append(session, kStart + u'\t' + kind + u'\t' + amount + u'\t' + receipt);
}

void OperationJournal::Ended(qint32 session, const QString& outcome) {
    Append(session, kEnd + u'\t' + outcome);
}

void OperationJournal::Warned(qint32 session) {
    Append(session, kWarned);
}

void OperationJournal::Reprinted(qint32 session) {
    Append(session, QStringLiteral("reprint"));
}

void OperationJournal::Append(qint32 session, const QString& event) {
    QByteArray line = (clock_().toString(kTimeFormat) + u'\t' +
                       FormatFixedWidth(session, catalogue::SessionDigits) + u'\t' + event + u'\n')
                          .toUtf8();
    // A line cut short by a crash must not swallow the next one.
    QFile existing(FilePath());
    if (existing.open(QIODevice::ReadOnly) && existing.size() > 0 &&
        existing.seek(existing.size() - 1)) {
        char last = 0;
        if (existing.getChar(&last) && last != '\n') {
            line.prepend('\n');
        }
    }
    existing.close();
    const int error = platform::AppendDurably(FilePath(), line);
    if (error != 0 && !failureLogged_) {
        failureLogged_ = true;
        common::LogError(error, QString::fromLocal8Bit(strerror(error)),
                         QStringLiteral("OperationJournal"), {});
    }
}

void OperationJournal::Trim() const {
    const QStringList lines = ReadLines();
    if (lines.size() <= kKeptLines) {
        return;
    }
    platform::ReplaceDurably(FilePath(),
                             (lines.mid(lines.size() - kKeptLines).join(u'\n') + u'\n').toUtf8());
}

std::optional<OperationJournal::Unknown> OperationJournal::UnknownOutcome() const {
    const QStringList lines = ReadLines();
    QSet<qint32> settled;  // sessions with an end or a warning, from the newest line back
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const std::optional<Line> line = ParseLine(*it);
        if (!line) {
            continue;
        }
        const QString& event = line->fields[0];
        if (event == kEnd || event == kWarned) {
            settled.insert(line->session);
        } else if (event == kStart && IsPaymentKind(line->fields[1])) {
            if (settled.contains(line->session)) {
                return std::nullopt;
            }
            const QString& amount = line->fields[2];
            return Unknown{line->session, line->fields[1],
                           amount.isEmpty() ? line->fields[3] : amount, line->when};
        }
    }
    return std::nullopt;
}

QString OperationJournal::WarningText(const Unknown& unknown) {
    return QStringLiteral("Eelmise toimingu tulemus on teadmata: ") + unknown.kind + u' ' +
           unknown.amountOrReceipt + QStringLiteral(", sessioon ") +
           FormatFixedWidth(unknown.session, catalogue::SessionDigits) + QStringLiteral(", ") +
           unknown.started.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) +
           QStringLiteral(". Kontrollige tulemust aruandest enne kordamist.");
}

}  // namespace mereval::session
