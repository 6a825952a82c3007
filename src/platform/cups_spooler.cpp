#include "platform/cups_spooler.h"

#include <QFile>

#include <cups/cups.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace mereval::platform {
namespace {

constexpr int kConnectTimeoutMs = 10000;
// A server that stops answering in the middle of a request must not hang
// the cashier's window for ever.
constexpr double kRequestTimeoutS = 30.0;
constexpr int kMinPriority = 1;
constexpr int kMaxPriority = 99;
constexpr int kMaxIppPriority = 100;

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using HttpConnection = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDelete>;

HttpConnection Connect() {
    HttpConnection http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                     1, kConnectTimeoutMs, nullptr));
    if (http) {
        httpSetTimeout(http.get(), kRequestTimeoutS, nullptr, nullptr);
    }
    return http;
}

bool LastRequestSucceeded() {
    return cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

ipp_t* NewRequest(ipp_op_t operation) {
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

ipp_t* NewJobRequest(ipp_op_t operation, qint32 job) {
    ipp_t* request = ippNewRequest(operation);
    const QByteArray uri = "ipp://localhost/jobs/" + QByteArray::number(job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

// Takes the request, as cupsDoRequest does.
IppMessage Send(http_t* http, ipp_t* request, const char* resource) {
    if (!http) {
        ippDelete(request);
        return nullptr;
    }
    return IppMessage(cupsDoRequest(http, request, resource));
}

QStringList QueueNames(http_t* http) {
    ipp_t* request = NewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    const IppMessage response = Send(http, request, "/");
    QStringList names;
    if (!response || !LastRequestSucceeded()) {
        return names;
    }
    for (ipp_attribute_t* attribute =
             ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME);
         attribute != nullptr;
         attribute = ippFindNextAttribute(response.get(), "printer-name", IPP_TAG_NAME)) {
        names.append(QString::fromUtf8(ippGetString(attribute, 0, nullptr)));
    }
    return names;
}

}  // namespace

int IppJobPriority(qint32 priority) {
    const int clamped = std::clamp(priority, kMinPriority, kMaxPriority);
    return kMinPriority + static_cast<int>(std::lround((clamped - kMinPriority) * 99.0 / 98.0));
}

qint32 SpoolerJobPriority(int ippPriority) {
    const int clamped = std::clamp(ippPriority, kMinPriority, kMaxIppPriority);
    return kMinPriority + static_cast<qint32>(std::lround((clamped - kMinPriority) * 98.0 / 99.0));
}

struct CupsSpooler::OpenedPrinter {
    enum class Document { None, Job, File };

    QByteArray name;  // as the server spells it
    HttpConnection stream;
    HttpConnection control;
    Document document = Document::None;
    qint32 job = 0;
    qint64 jobBytes = 0;
    QFile outputFile;

    http_t* Control() {
        if (!control) {
            control = Connect();
        }
        return control.get();
    }
};

CupsSpooler::CupsSpooler() = default;

CupsSpooler::~CupsSpooler() {
    while (!printers_.empty()) {
        ClosePrinter(printers_.begin()->first);
    }
}

CupsSpooler::OpenedPrinter* CupsSpooler::Find(qint32 printer) {
    const auto found = printers_.find(printer);
    return found == printers_.end() ? nullptr : found->second.get();
}

QStringList CupsSpooler::PrinterNames() {
    const HttpConnection http = Connect();
    return QueueNames(http.get());
}

QString CupsSpooler::DefaultPrinterName() {
    // The user's choice before the server's, as the CUPS commands take it;
    // PRINTER=lp is the System V default and names nothing.
    const QString lpdest = qEnvironmentVariable("LPDEST");
    if (!lpdest.isEmpty()) {
        return lpdest;
    }
    const QString printer = qEnvironmentVariable("PRINTER");
    if (!printer.isEmpty() && printer != QStringLiteral("lp")) {
        return printer;
    }
    const HttpConnection http = Connect();
    const IppMessage response = Send(http.get(), NewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    if (!response || !LastRequestSucceeded()) {
        return {};
    }
    ipp_attribute_t* name = ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME);
    return name ? QString::fromUtf8(ippGetString(name, 0, nullptr)) : QString();
}

qint32 CupsSpooler::OpenPrinter(const QString& name) {
    if (name.isEmpty() || nextHandle_ <= 0) {
        return 0;
    }
    HttpConnection stream = Connect();
    QString found;
    for (const QString& queue : QueueNames(stream.get())) {
        if (queue.compare(name, Qt::CaseInsensitive) == 0) {
            found = queue;
            break;
        }
    }
    if (found.isEmpty()) {
        return 0;
    }
    auto opened = std::make_unique<OpenedPrinter>();
    opened->name = found.toUtf8();
    opened->stream = std::move(stream);
    const qint32 handle = nextHandle_++;
    printers_.emplace(handle, std::move(opened));
    return handle;
}

qint32 CupsSpooler::StartDocument(qint32 printer, const QString& documentName,
                                  const QString& outputFile) {
    OpenedPrinter* opened = Find(printer);
    if (!opened || opened->document != OpenedPrinter::Document::None) {
        return 0;
    }
    if (!outputFile.isEmpty()) {
        opened->outputFile.setFileName(outputFile);
        if (!opened->outputFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            nextFileJob_ <= 0) {
            return 0;
        }
        opened->document = OpenedPrinter::Document::File;
        opened->job = nextFileJob_++;
        return opened->job;
    }

    const QByteArray title = documentName.toUtf8();
    const int job = cupsCreateJob(opened->stream.get(), opened->name.constData(), title.constData(),
                                  0, nullptr);
    if (job <= 0) {
        return 0;
    }
    if (cupsStartDocument(opened->stream.get(), opened->name.constData(), job, title.constData(),
                          CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
        // The job exists without a document; leave nothing behind.
        cupsCancelJob2(opened->Control(), opened->name.constData(), job, 0);
        return 0;
    }
    opened->document = OpenedPrinter::Document::Job;
    opened->job = job;
    opened->jobBytes = 0;
    return job;
}

bool CupsSpooler::StartPage(qint32 printer) {
    const OpenedPrinter* opened = Find(printer);
    return opened && opened->document != OpenedPrinter::Document::None;
}

bool CupsSpooler::WritePrinter(qint32 printer, QByteArrayView bytes, qint32& written) {
    written = 0;
    OpenedPrinter* opened = Find(printer);
    if (!opened) {
        return false;
    }
    switch (opened->document) {
        case OpenedPrinter::Document::None:
            return false;
        case OpenedPrinter::Document::File: {
            if (bytes.size() > std::numeric_limits<qint32>::max()) {
                return false;
            }
            const qint64 count = opened->outputFile.write(bytes.data(), bytes.size());
            if (count < 0) {
                return false;
            }
            written = static_cast<qint32>(count);
            return true;
        }
        case OpenedPrinter::Document::Job:
            if (bytes.size() > std::numeric_limits<qint32>::max() ||
                cupsWriteRequestData(opened->stream.get(), bytes.data(),
                                     static_cast<size_t>(bytes.size())) != HTTP_STATUS_CONTINUE) {
                return false;
            }
            written = static_cast<qint32>(bytes.size());
            opened->jobBytes += bytes.size();
            return true;
    }
    return false;
}

bool CupsSpooler::EndPage(qint32 printer) {
    return StartPage(printer);
}

bool CupsSpooler::EndDocument(qint32 printer) {
    OpenedPrinter* opened = Find(printer);
    if (!opened) {
        return false;
    }
    const OpenedPrinter::Document document = opened->document;
    opened->document = OpenedPrinter::Document::None;
    switch (document) {
        case OpenedPrinter::Document::None:
            return false;
        case OpenedPrinter::Document::File:
            // A cancelled file document is already gone.
            if (!opened->outputFile.isOpen()) {
                return true;
            }
            if (!opened->outputFile.flush()) {
                opened->outputFile.close();
                return false;
            }
            opened->outputFile.close();
            return opened->outputFile.error() == QFileDevice::NoError;
        case OpenedPrinter::Document::Job:
            // Nothing to print is no job: the server would keep an empty
            // document waiting for ever. It goes without a trace.
            if (opened->jobBytes == 0) {
                cupsCancelJob2(opened->Control(), opened->name.constData(), opened->job, 1);
                return true;
            }
            if (cupsFinishDocument(opened->stream.get(), opened->name.constData()) <=
                IPP_STATUS_OK_EVENTS_COMPLETE) {
                return true;
            }
            // Half a job is never left behind on the server.
            cupsCancelJob2(opened->Control(), opened->name.constData(), opened->job, 0);
            return false;
    }
    return false;
}

bool CupsSpooler::ClosePrinter(qint32 printer) {
    const auto found = printers_.find(printer);
    if (found == printers_.end()) {
        return false;
    }
    OpenedPrinter& opened = *found->second;
    // A job whose document never ended would stay on the server, incomplete.
    if (opened.document == OpenedPrinter::Document::Job) {
        cupsCancelJob2(opened.Control(), opened.name.constData(), opened.job, 0);
    }
    printers_.erase(found);
    return true;
}

bool CupsSpooler::CancelJob(qint32 printer, qint32 job) {
    OpenedPrinter* opened = Find(printer);
    if (!opened || job <= 0) {
        return false;
    }
    if (opened->document == OpenedPrinter::Document::File) {
        return job == opened->job && opened->outputFile.remove();
    }
    return cupsCancelJob2(opened->Control(), opened->name.constData(), job, 0) <=
           IPP_STATUS_OK_EVENTS_COMPLETE;
}

bool CupsSpooler::SetJobName(qint32 printer, qint32 job, const QString& name) {
    OpenedPrinter* opened = Find(printer);
    if (!opened || job <= 0 || opened->document == OpenedPrinter::Document::File) {
        return false;
    }
    ipp_t* request = NewJobRequest(IPP_OP_SET_JOB_ATTRIBUTES, job);
    ippAddString(request, IPP_TAG_JOB, IPP_TAG_NAME, "job-name", nullptr,
                 name.toUtf8().constData());
    const IppMessage response = Send(opened->Control(), request, "/jobs/");
    return response && LastRequestSucceeded();
}

bool CupsSpooler::SetJobPriority(qint32 printer, qint32 job, qint32 priority) {
    OpenedPrinter* opened = Find(printer);
    if (!opened || job <= 0 || opened->document == OpenedPrinter::Document::File) {
        return false;
    }
    ipp_t* request = NewJobRequest(IPP_OP_SET_JOB_ATTRIBUTES, job);
    ippAddInteger(request, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-priority", IppJobPriority(priority));
    const IppMessage response = Send(opened->Control(), request, "/jobs/");
    return response && LastRequestSucceeded();
}

std::optional<qint32> CupsSpooler::JobPriority(qint32 printer, qint32 job) {
    OpenedPrinter* opened = Find(printer);
    if (!opened || job <= 0 || opened->document == OpenedPrinter::Document::File) {
        return std::nullopt;
    }
    ipp_t* request = NewJobRequest(IPP_OP_GET_JOB_ATTRIBUTES, job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-priority");
    const IppMessage response = Send(opened->Control(), request, "/jobs/");
    if (!response || !LastRequestSucceeded()) {
        return std::nullopt;
    }
    ipp_attribute_t* priority = ippFindAttribute(response.get(), "job-priority", IPP_TAG_INTEGER);
    if (!priority) {
        return std::nullopt;
    }
    return SpoolerJobPriority(ippGetInteger(priority, 0));
}

Spooler& SystemSpooler() {
    static CupsSpooler spooler;
    return spooler;
}

QStringList InstalledPrinterNames() {
    return SystemSpooler().PrinterNames();
}

}  // namespace mereval::platform
