#include "platform/spooler_job_state.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <cups/cups.h>

#include <memory>

namespace mereval::platform {
namespace {

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDelete>;

QString StringOf(ipp_t* response, const char* name) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    return attribute ? QString::fromUtf8(ippGetString(attribute, 0, nullptr)) : QString();
}

int EnumOf(ipp_t* response, const char* name) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ENUM);
    return attribute ? ippGetInteger(attribute, 0) : 0;
}

QStringList KeywordsOf(ipp_t* response, const char* name) {
    QStringList keywords;
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_KEYWORD);
    for (int i = 0; attribute != nullptr && i < ippGetCount(attribute); ++i) {
        keywords.append(QString::fromUtf8(ippGetString(attribute, i, nullptr)));
    }
    keywords.removeAll(QStringLiteral("none"));
    return keywords;
}

// A reason keyword with or without its severity: "media-empty",
// "media-empty-error", "offline-report".
bool HasReason(const QStringList& reasons, const QString& reason) {
    for (const QString& given : reasons) {
        if (given == reason || given.startsWith(reason + u'-')) {
            return true;
        }
    }
    return false;
}

// The spooler's own words: the first message that says something, else the
// reason keywords, else the state.
SpoolerJobState Failed(const QStringList& messages, const QStringList& reasons, const char* state) {
    QString reason;
    for (const QString& message : messages) {
        if (reason.isEmpty()) {
            reason = message.trimmed();
        }
    }
    if (reason.isEmpty()) {
        reason = reasons.join(QStringLiteral(", "));
    }
    if (reason.isEmpty()) {
        reason = QString::fromLatin1(state);
    }
    return {SpoolerJobState::Progress::Failed, reason};
}

}  // namespace

SpoolerJobState CupsJobState(qint32 job, int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    const std::unique_ptr<http_t, HttpClose> http(httpConnect2(
        cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, waitMs, nullptr));
    if (!http) {
        return {};
    }
    // Each answer within what is left of the wait; a server that hangs is
    // given up on, not waited for.
    const auto ask = [&](const char* uriName, const QByteArray& uri, ipp_op_t operation,
                         std::initializer_list<const char*> attributes) -> IppMessage {
        const qint64 leftMs = deadline.remainingTime();
        if (leftMs <= 0) {
            return nullptr;
        }
        httpSetTimeout(http.get(), double(leftMs) / 1000.0, nullptr, nullptr);
        ipp_t* request = ippNewRequest(operation);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri.constData());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      int(attributes.size()), nullptr, attributes.begin());
        IppMessage response(cupsDoRequest(http.get(), request, "/"));
        if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
            return nullptr;
        }
        return response;
    };

    const IppMessage jobAnswer =
        ask("job-uri", "ipp://localhost/jobs/" + QByteArray::number(job), IPP_OP_GET_JOB_ATTRIBUTES,
            {"job-state", "job-state-message", "job-state-reasons", "job-printer-state-message",
             "job-printer-uri"});
    if (!jobAnswer) {
        return {};
    }
    // A job that the backend gave up on says why in the printer's message.
    const QStringList jobMessages = {StringOf(jobAnswer.get(), "job-state-message"),
                                     StringOf(jobAnswer.get(), "job-printer-state-message")};
    const QStringList jobReasons = KeywordsOf(jobAnswer.get(), "job-state-reasons");
    switch (EnumOf(jobAnswer.get(), "job-state")) {
        case IPP_JSTATE_COMPLETED:
            return {SpoolerJobState::Progress::Printed, {}};
        case IPP_JSTATE_STOPPED:
            return Failed(jobMessages, jobReasons, "stopped");
        case IPP_JSTATE_CANCELED:
            return Failed(jobMessages, jobReasons, "canceled");
        case IPP_JSTATE_ABORTED:
            return Failed(jobMessages, jobReasons, "aborted");
        default:
            break;
    }

    const IppMessage printerAnswer =
        ask("printer-uri", StringOf(jobAnswer.get(), "job-printer-uri").toUtf8(),
            IPP_OP_GET_PRINTER_ATTRIBUTES,
            {"printer-state", "printer-state-message", "printer-state-reasons"});
    if (!printerAnswer) {
        return {};
    }
    const QStringList printerReasons = KeywordsOf(printerAnswer.get(), "printer-state-reasons");
    if (EnumOf(printerAnswer.get(), "printer-state") == IPP_PSTATE_STOPPED ||
        HasReason(printerReasons, QStringLiteral("media-empty")) ||
        HasReason(printerReasons, QStringLiteral("offline"))) {
        return Failed({StringOf(printerAnswer.get(), "printer-state-message")}, printerReasons,
                      "stopped");
    }
    return {};
}

}  // namespace mereval::platform
