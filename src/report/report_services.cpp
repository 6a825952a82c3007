#include "report/report_services.h"

#include "report/haru_pdf_writer.h"

namespace mereval::report {

ReportServices::ReportServices(session::SessionView& view, const session::TrafficLog& log,
                               platform::DocumentOpener& opener)
    : view(view), log(log), opener(opener) {
    makeWriter = [this]() -> std::unique_ptr<PdfWriter> {
        auto writer = std::make_unique<HaruPdfWriter>();
        writer->SetWaitHandler([this] { pump.Breathe(); });
        return writer;
    };
}

}  // namespace mereval::report
