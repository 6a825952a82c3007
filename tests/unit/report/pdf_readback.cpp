#include "unit/report/pdf_readback.h"

#include <QProcess>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace mereval::test {
namespace {

constexpr double kLineTolerance = 0.05;

// The standard output of a run that finished well, or nothing.
std::optional<QByteArray> Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

}  // namespace

QList<PdfWord> PdfPage::WordsAt(double bottom) const {
    QList<PdfWord> line;
    std::copy_if(words.begin(), words.end(), std::back_inserter(line), [bottom](const PdfWord& w) {
        return std::fabs(w.bottom - bottom) < kLineTolerance;
    });
    std::sort(line.begin(), line.end(),
              [](const PdfWord& a, const PdfWord& b) { return a.x < b.x; });
    return line;
}

QString PdfPage::LineAt(double bottom) const {
    QStringList texts;
    for (const PdfWord& word : WordsAt(bottom)) {
        texts.append(word.text);
    }
    return texts.join(u' ');
}

QStringList PdfPage::Lines() const {
    QList<PdfWord> sorted = words;
    std::sort(sorted.begin(), sorted.end(),
              [](const PdfWord& a, const PdfWord& b) { return a.bottom < b.bottom; });
    QStringList lines;
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        if (i == 0 || sorted[i].bottom - sorted[i - 1].bottom >= kLineTolerance) {
            lines.append(LineAt(sorted[i].bottom));
        }
    }
    return lines;
}

std::optional<QList<PdfPage>> ReadPdf(const QString& path) {
    const auto xhtml =
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-enc"),
                                          QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!xhtml) {
        return std::nullopt;
    }
    QList<PdfPage> pages;
    QXmlStreamReader xml(*xhtml);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const auto mm = [&xml](const char* name) {
            return xml.attributes().value(QString::fromLatin1(name)).toDouble() * 25.4 / 72.0;
        };
        if (xml.name() == u"page") {
            pages.append({mm("width"), mm("height"), {}});
        } else if (xml.name() == u"word" && !pages.isEmpty()) {
            PdfWord word{{}, mm("xMin"), mm("yMin"), mm("xMax"), mm("yMax")};
            word.text = xml.readElementText();
            pages.last().words.append(word);
        }
    }
    if (xml.hasError()) {
        return std::nullopt;
    }
    return pages;
}

bool QpdfCheck(const QString& path, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    const bool finished = process.waitForFinished(60000);
    if (output != nullptr) {
        *output = QString::fromUtf8(process.readAll());
    }
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray UncompressedPdf(const QString& path) {
    return Run(QStringLiteral("qpdf"),
               {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), path,
                QStringLiteral("-")})
        .value_or(QByteArray());
}

}  // namespace mereval::test
