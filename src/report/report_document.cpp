#include "report/report_document.h"

#include "common/file_path.h"
#include "platform/program_folder.h"
#include "report/page_frame.h"
#include "report/report_body.h"

#include <QLocale>

#include <algorithm>

namespace mereval::report {

QString ReportDateTimeText(const QDateTime& when) {
    // The locales' long time formats add a zone name; the time is written
    // to the second on the 24-hour clock instead, as in log.txt.
    return QLocale::system().toString(when.date(), QLocale::ShortFormat) + u' ' +
           when.time().toString(QStringLiteral("HH:mm:ss"));
}

QString ProgressText(qint32 printedRows, qint32 rowCount) {
    qint64 percent = 0;
    if (rowCount > 0) {
        const qint64 scaled = qint64(printedRows) * 100;
        percent = scaled / rowCount;
        const qint64 twiceRest = 2 * (scaled % rowCount);
        if (twiceRest > rowCount || (twiceRest == rowCount && percent % 2 != 0)) {
            ++percent;
        }
    }
    return QStringLiteral("Aruanne dokumendi koostamine: ") + QString::number(percent) + u'%';
}

void BuildReportDocument(ReportTable& table, qint32 rowCount, quint8 group,
                         const QString& periodText, ReportServices& services) {
    rowCount = std::clamp(rowCount, 0, table.RowCount());
    std::unique_ptr<PdfWriter> writer = services.makeWriter();
    services.log.LogEvent(QStringLiteral("Checkpoint1"));
    PageFrame page;
    page.dateTimeText = ReportDateTimeText(services.clock());
    page.periodText = periodText;

    const ColumnWidths widths = PrepareColumnWidths(group);

    const QString path = common::MakeFilePath(platform::ProgramFolder(), kReportFileName);
    writer->SetFileName(path);
    writer->SetUnits(PdfWriter::kMillimetres);

    writer->SetFontName(QStringLiteral("Arial"));
    DrawPageHeader(*writer, page);

    writer->SetFontSize(9);
    writer->SetLineStyle(PdfWriter::kDot);
    float y = frame::kFirstPageBodyY;
    qint16 pageNumber = 1;

    FillHeadingRow(table);
    services.log.LogEvent(QStringLiteral("Checkpoint2"));

    QString shownProgress;
    BodyLayout layout{*writer, page, y, pageNumber, {}, {}};
    layout.rowPrinted = [&](qint32 printed) {
        // The same text again would only cost the window a repaint.
        QString text = ProgressText(printed, rowCount);
        if (text != shownProgress) {
            services.view.ShowStatusLine(text);
            shownProgress = std::move(text);
        }
    };
    layout.letEventsRun = [&services] { services.pump.Breathe(); };
    LayOutReportBody(table, rowCount, group, widths, layout);

    DrawPageFooter(*writer, pageNumber, page);

    services.log.LogEvent(QStringLiteral("Checkpoint3"));
    services.view.ShowStatusLine(QStringLiteral("Aruanne dokumendi salvestamine..."));
    services.pump.Run();

    const QString error = writer->Save();
    services.log.LogEvent(QStringLiteral("Checkpoint4"));
    if (!error.isEmpty()) {
        services.view.OpenBox(session::kBoxMessage,
                              QStringLiteral(u"Aruanne koostamine ebaõnnestus: ") + error,
                              session::kErrorBoxButtons);
    } else if (!services.opener.OpenDocument(path)) {
        services.view.OpenBox(session::kBoxMessage,
                              QStringLiteral(u"Aruande kuvamine ebaõnnestus."),
                              session::kErrorBoxButtons);
    }
}

}  // namespace mereval::report
