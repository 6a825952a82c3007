#pragma once

#include <QString>

namespace mereval::paysim {

// What the simulator does with a card payment, reservation, tip or
// reservation completion; the cents of the amount choose it.
enum class Scenario {
    Approve,
    Decline,
    Question,
    Input,
    MaskedInput,
    KeepAlive,
    Silence,
    Close,
    ReleasedQuestion,
    EmptyReceipts,
    TransactionDeclined,
    SplitDelivery,
    ForeignMessages,
    MalformedFrame,
};

// The cents of |amount|, 0 to 99: 12.34 and -12.34 both give 34.
int CentsOf(double amount);

// The scenario of the amount's cents; cents without a scenario of their own
// approve.
Scenario ScenarioForAmount(double amount);

// One line per scenario, ".NN  what happens", for --help.
QString ScenarioHelpText();

}  // namespace mereval::paysim
