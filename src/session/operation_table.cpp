#include "session/operation_table.h"

#include "common/value_helpers.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"

#include <array>

namespace mereval::session {
namespace {

namespace code = catalogue::code;

constexpr qsizetype kMaxReceiptNumberLength = 6;

constexpr std::array kOperations{
    Operation{OperationTab::CardPayment, u"Kaardimakse", u" Kaardimakse ", std::nullopt,
              EntryField::Amount, ReceiptCheck::Numeric, code::StartTransaction, false},
    Operation{OperationTab::Cancellation, u"Tühistamine", u" Tühistamine ", EntryField::VoidReceipt,
              std::nullopt, ReceiptCheck::Numeric, code::VoidRequest, false},
    Operation{OperationTab::Tip, u"Jootraha", u" Jootraha ", EntryField::TipReceipt,
              EntryField::TipAmount, ReceiptCheck::Numeric, code::TipRequest, false},
    Operation{OperationTab::Reservation, u"Broneering", u" Broneering ", std::nullopt,
              EntryField::Amount, ReceiptCheck::Numeric, code::StartTransaction, true},
    Operation{OperationTab::ReservationCompletion, u"Broneeringu lõpetamine",
              u" Broneeringu lõpetamine ", EntryField::CompletionReceipt,
              EntryField::CompletionAmount, ReceiptCheck::AmountReader,
              code::ReservationCompletionRequest, false},
};

bool ReceiptNumberOk(const QString& text, ReceiptCheck check) {
    if (text.isEmpty() || text.size() > kMaxReceiptNumberLength) {
        return false;
    }
    double number = 0;
    return check == ReceiptCheck::Numeric ? common::ParseNumericText(text, &number)
                                          : GetAmount(text, number);
}

}  // namespace

std::span<const Operation> Operations() {
    return kOperations;
}

const Operation& OperationOf(OperationTab tab) {
    for (const Operation& operation : kOperations) {
        if (operation.tab == tab) {
            return operation;
        }
    }
    return kOperations.front();
}

std::optional<Refusal> CheckFields(const Operation& operation, const SessionView& view) {
    if (operation.receiptField &&
        !ReceiptNumberOk(view.EntryText(*operation.receiptField), operation.receiptCheck)) {
        return Refusal{QStringLiteral("Vigane kviitungi number."), false};
    }
    double amount = 0;
    if (operation.amountField && !GetAmount(view.EntryText(*operation.amountField), amount)) {
        return Refusal{QStringLiteral("Vigane summa."), true};
    }
    return std::nullopt;
}

}  // namespace mereval::session
