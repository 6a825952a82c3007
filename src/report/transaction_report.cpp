#include "report/transaction_report.h"

#include "common/value_helpers.h"
#include "report/report_data.h"
#include "report/report_table.h"

namespace mereval::report {

quint8 ReportGroupOfListIndex(qint16 listIndex) {
    switch (listIndex) {
        case 1:
            return column::Terminal;
        case 2:
            return column::Date;
        case 3:
            return column::Card;
        case 4:
            return column::ResponseCode;
        case 5:
            return column::Sent;
        default:
            return 0;
    }
}

TransactionReport::TransactionReport(session::PaymentSession& session, session::SessionView& view,
                                     platform::DocumentOpener& opener)
    : session_(session), services_(view, session.Log(), opener) {
    session_.SetReportDataHandler([this](const session::MessageCodec& message) {
        DecodeReportData(message, state_, session_.ReportPeriodText(), services_);
    });
}

TransactionReport::~TransactionReport() {
    session_.SetReportDataHandler({});
}

bool TransactionReport::PrepareReport(const QDate& reportFrom, const QDate& reportTo,
                                      qint16 reportGroup, quint8 reportOnlyApproved,
                                      bool keyBurstRunning) {
    // The choices of a running report must stay as they are until its
    // answer has been laid out.
    if (keyBurstRunning) {
        return false;
    }
    ReportState next;
    next.ReportStartCode = common::ShortDateCode(reportFrom) + QStringLiteral("000000");
    next.ReportEndCode = common::ShortDateCode(reportTo) + QStringLiteral("235959");
    next.ReportOnlyApproved = reportOnlyApproved != 0;
    next.ReportGroup = ReportGroupOfListIndex(reportGroup);
    if (!session_.StartReport(next.ReportStartCode, next.ReportEndCode)) {
        return false;
    }
    state_ = next;  // no answer can arrive before this returns
    return true;
}

}  // namespace mereval::report
