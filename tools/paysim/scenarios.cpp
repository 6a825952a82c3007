#include "paysim/scenarios.h"

#include <QStringList>

#include <array>
#include <cmath>

namespace mereval::paysim {
namespace {

struct ScenarioEntry {
    int cents;
    Scenario scenario;
    const char16_t* description;
};

constexpr std::array<ScenarioEntry, 14> kScenarios = {{
    {0, Scenario::Approve,
     u"status texts \"Sisesta kaart\" (card payment and reservation only) and \"Ühendus "
     u"pangaga...\", then approval \"0012\" with a merchant and a customer receipt and the next "
     u"STAN"},
    {1, Scenario::Decline, u"status text, then decline \"0013\" \"Tehing keelatud\", code 05"},
    {2, Scenario::Question,
     u"Yes/No question \"0008\" (flags 4 + 32); answer \"0010\" Yes (6) approves, anything else "
     u"declines"},
    {3, Scenario::Input,
     u"input box \"0009\" (flags 1 = OK/Cancel); answer \"0011\" OK (1) approves, anything else "
     u"declines"},
    {4, Scenario::MaskedInput, u"masked input box \"0009\" (field 14 = byte 1); answers as .03"},
    {5, Scenario::KeepAlive,
     u"keep-alives \"0003\" every keep-alive interval for about 20 s (longer than the client's 15 "
     u"s "
     u"reply time-out), then as .00"},
    {6, Scenario::Silence, u"silence: nothing is sent, the client times out (or aborts)"},
    {7, Scenario::Close, u"the connection is closed right after the request"},
    {8, Scenario::ReleasedQuestion,
     u"Yes/No question \"0008\", then \"0004\" closes the boxes, then approval as .00; the answer "
     u"is ignored"},
    {9, Scenario::EmptyReceipts,
     u"as .00, but the approval \"0012\" has an empty receipt block (nothing to "
     u"print)"},
    {10, Scenario::TransactionDeclined,
     u"status text, then decline \"0006\" \"Kaart on suletud\", code 62"},
    {11, Scenario::SplitDelivery,
     u"status text and the first half of the approval in one piece, the second half one delay "
     u"later"},
    {12, Scenario::ForeignMessages,
     u"status texts with a wrong POS identifier and a wrong session (the client must drop them), "
     u"then approval as .00"},
    {13, Scenario::MalformedFrame,
     u"a malformed frame (the client must drop it), then approval as .00, each message one delay "
     u"apart"},
}};

}  // namespace

int CentsOf(double amount) {
    return static_cast<int>(std::llround(std::fabs(amount) * 100) % 100);
}

Scenario ScenarioForAmount(double amount) {
    const int cents = CentsOf(amount);
    for (const ScenarioEntry& entry : kScenarios) {
        if (entry.cents == cents) {
            return entry.scenario;
        }
    }
    return Scenario::Approve;
}

QString ScenarioHelpText() {
    constexpr qsizetype kWidth = 79;
    const QString indent(7, u' ');
    QStringList lines;
    for (const ScenarioEntry& entry : kScenarios) {
        QString line = QStringLiteral("  .%1 ").arg(entry.cents, 2, 10, QLatin1Char('0'));
        for (const QString& word : QString::fromUtf16(entry.description).split(u' ')) {
            if (line.size() + 1 + word.size() > kWidth) {
                lines.append(line);
                line = indent.chopped(1);
            }
            line += u' ' + word;
        }
        lines.append(line);
    }
    lines.append(QStringLiteral("  other cents: as .00"));
    return lines.join(u'\n');
}

}  // namespace mereval::paysim
