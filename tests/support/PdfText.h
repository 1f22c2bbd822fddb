#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <ostream>

// Texts in test failures as they read.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace zendrel::test {

// What poppler's tools read from a PDF file: its text as laid out, its fonts, its pages.
inline QString pdfTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString pdfText(const QString& path) {
    return pdfTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

inline QString pdfFonts(const QString& path) {
    return pdfTool(QStringLiteral("pdffonts"), {path});
}

inline int pdfPages(const QString& path) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(pdfTool(QStringLiteral("pdfinfo"), {path}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The lines of a text with their runs of blanks made one blank, so that a row of columns reads as one line.
inline QStringList pdfLines(const QString& text) {
    QStringList out;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.simplified();
        if (!line.isEmpty()) {
            out << line;
        }
    }
    return out;
}

} // namespace zendrel::test
