#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace mereval::test {

// A word of a PDF as poppler's pdftotext -bbox reads it, in millimetres
// from the page's top-left corner. x, right and bottom follow from the
// drawing exactly; top depends on the font's ascent.
struct PdfWord {
    QString text;
    double x = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

struct PdfPage {
    double width = 0;
    double height = 0;
    QList<PdfWord> words;

    // The words whose bottom lies within 0.05 mm of bottom, left to right.
    QList<PdfWord> WordsAt(double bottom) const;
    // Those words joined by single blanks.
    QString LineAt(double bottom) const;
    // Every line of the page, top to bottom.
    QStringList Lines() const;
};

// The pages of the file, or nothing when pdftotext fails.
std::optional<QList<PdfPage>> ReadPdf(const QString& path);

// qpdf --check finds no fault; its output in *output.
bool QpdfCheck(const QString& path, QString* output = nullptr);

// The page's content streams, uncompressed (qpdf --qdf).
QByteArray UncompressedPdf(const QString& path);

// The bottom of the words of a line of Helvetica text placed at top (mm)
// in size points: top + (ascent + descent) of the font.
inline double TextBottom(double top, double size) {
    return top + (718.0 + 207.0) / 1000.0 * size * 25.4 / 72.0;
}

}  // namespace mereval::test
