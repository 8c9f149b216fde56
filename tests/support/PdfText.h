#pragma once

#include <QProcess>
#include <QString>

namespace tavsms::test {

// The text of a PDF file as pdftotext (poppler-utils) reads it, in reading
// order; pages are separated by form feeds. Empty when it cannot be read.
inline QString pdfText(const QString &path)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return {};
    return QString::fromUtf8(tool.readAllStandardOutput());
}

} // namespace tavsms::test
