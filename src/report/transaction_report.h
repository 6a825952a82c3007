#pragma once

#include "platform/document_opener.h"
#include "report/report_services.h"
#include "report/report_state.h"
#include "session/message_codec.h"
#include "session/payment_session.h"
#include "session/session_view.h"

#include <QDate>
#include <QtGlobal>

namespace mereval::report {

// The grouping column of the report dialog's list entries: "Puudub" 0,
// "Terminal" 1, "Kuupäev" 2, "Kaart" 5, "Vastuse kood" 6, "Staatus" 11; no
// grouping for any other index, -1 (nothing selected) included.
quint8 ReportGroupOfListIndex(qint16 listIndex);

// The main window's report: its state, the request and the handler of the
// answer. Made once beside the payment session, which it serves as the
// report data handler for as long as it lives.
class TransactionReport {
public:
    TransactionReport(session::PaymentSession& session, session::SessionView& view,
                      platform::DocumentOpener& opener);
    ~TransactionReport();
    TransactionReport(const TransactionReport&) = delete;
    TransactionReport& operator=(const TransactionReport&) = delete;

    // The report dialog's OK: keeps the period codes, the grouping and the
    // filter and starts the report operation. Refused (false, nothing kept,
    // nothing shown) while a keyboard burst is being collected or another
    // operation runs.
    bool PrepareReport(const QDate& reportFrom, const QDate& reportTo, qint16 reportGroup,
                       quint8 reportOnlyApproved, bool keyBurstRunning);

    const ReportState& State() const { return state_; }
    // Tests replace the PDF engine, the clock or the pump here.
    ReportServices& Services() { return services_; }

private:
    session::PaymentSession& session_;
    ReportServices services_;
    ReportState state_;
};

}  // namespace mereval::report
