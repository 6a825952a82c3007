#include "unit/report/pdf_readback.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace mereval::test {
namespace {

constexpr double kLineTolerance = 0.05;

double Mm(const QXmlStreamAttributes& attributes, const char* name) {
    return attributes.value(QString::fromLatin1(name)).toDouble() * 25.4 / 72.0;
}

}  // namespace

QList<PdfWord> PdfPage::WordsAt(double bottom) const {
    QList<PdfWord> line;
    for (const PdfWord& word : words) {
        if (std::fabs(word.bottom - bottom) < kLineTolerance) {
            line.append(word);
        }
    }
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
    QList<double> bottoms;
    for (const PdfWord& word : words) {
        if (std::none_of(bottoms.begin(), bottoms.end(), [&word](double b) {
                return std::fabs(b - word.bottom) < kLineTolerance;
            })) {
            bottoms.append(word.bottom);
        }
    }
    std::sort(bottoms.begin(), bottoms.end());
    QStringList lines;
    for (double bottom : bottoms) {
        lines.append(LineAt(bottom));
    }
    return lines;
}

std::optional<QList<PdfPage>> ReadPdf(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                   QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nullopt;
    }
    QList<PdfPage> pages;
    QXmlStreamReader xml(process.readAllStandardOutput());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"page") {
            PdfPage page;
            page.width = Mm(xml.attributes(), "width");
            page.height = Mm(xml.attributes(), "height");
            pages.append(page);
        } else if (xml.name() == u"word" && !pages.isEmpty()) {
            PdfWord word;
            word.x = Mm(xml.attributes(), "xMin");
            word.top = Mm(xml.attributes(), "yMin");
            word.right = Mm(xml.attributes(), "xMax");
            word.bottom = Mm(xml.attributes(), "yMax");
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
    QProcess process;
    process.start(QStringLiteral("qpdf"),
                  {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), path,
                   QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        return {};
    }
    return process.readAllStandardOutput();
}

}  // namespace mereval::test
