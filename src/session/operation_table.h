#pragma once

#include "session/session_view.h"

#include <QString>

#include <optional>
#include <span>

namespace mereval::session {

// How an operation reads its receipt number before it starts.
enum class ReceiptCheck : quint8 {
    Numeric,       // any number text, blanks around it allowed
    AmountReader,  // the amount reader, as reservation completion does
};

// One operation of the tab strip: what the cashier sees, which fields it
// takes, how OK checks them and which request it becomes. The window, the
// checks and the request builder read these and nothing else, so a new
// operation is one more row.
struct Operation {
    OperationTab tab;
    const char16_t* caption;     // the tab
    const char16_t* frameTitle;  // the frame of its fields, one blank either side
    // The fields, in focus order: the receipt number first where there is one.
    std::optional<EntryField> receiptField;
    std::optional<EntryField> amountField;
    ReceiptCheck receiptCheck;
    // "0001" takes the card number field too, and says whether it reserves.
    const char* requestCode;  // message catalogue code
    bool reservation;

    EntryField FirstField() const { return receiptField.value_or(*amountField); }
};

// The five operations, in the order of the tabs.
std::span<const Operation> Operations();
// The row of a tab; the first row for a number that names none.
const Operation& OperationOf(OperationTab tab);

// The error box text of the first field that OK refuses, and whether the
// refusal is the amount's (which empties the card number field).
struct Refusal {
    QString text;
    bool amount = false;
};
std::optional<Refusal> CheckFields(const Operation& operation, const SessionView& view);

}  // namespace mereval::session
