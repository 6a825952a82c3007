#pragma once

#include "platform/document_opener.h"
#include "report/event_pump.h"
#include "report/pdf_writer.h"
#include "session/session_view.h"
#include "session/traffic_log.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace mereval::report {

// What a report run uses around it: the window's status line and error
// boxes, the protocol log for its checkpoints, the desktop's viewer, the
// event pump, and the PDF engine and clock, which tests and the benchmark
// replace.
struct ReportServices {
    using WriterFactory = std::function<std::unique_ptr<PdfWriter>()>;
    using Clock = std::function<QDateTime()>;

    // The writer is libharu's, saving while the pump keeps the window alive.
    ReportServices(session::SessionView& view, const session::TrafficLog& log,
                   platform::DocumentOpener& opener);
    ReportServices(const ReportServices&) = delete;
    ReportServices& operator=(const ReportServices&) = delete;

    session::SessionView& view;
    const session::TrafficLog& log;
    platform::DocumentOpener& opener;
    EventPump pump;
    WriterFactory makeWriter;
    Clock clock = &QDateTime::currentDateTime;
};

}  // namespace mereval::report
