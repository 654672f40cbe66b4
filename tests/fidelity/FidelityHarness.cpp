#include "tests/fidelity/FidelityHarness.h"

#include "mailconverter/render/PdfMailConverter.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

QString toolOutput(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList fontLines(const QString &pdfPath)
{
    // "name type encoding emb sub uni object ID", after two header lines.
    QStringList fonts;
    const QStringList lines =
        toolOutput(QStringLiteral("pdffonts"), {pdfPath}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(2))
        fonts.append(line.simplified());
    return fonts;
}

QStringList embeddedFileNames(const QString &pdfPath)
{
    // "N embedded files" then "1: name" lines.
    QStringList names;
    const QStringList lines = toolOutput(QStringLiteral("pdfdetach"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                                                                       QStringLiteral("-list"), pdfPath})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1))
        names.append(line.section(QStringLiteral(": "), 1));
    return names;
}

} // namespace

QByteArray fidelityMessage(const QString &name)
{
    return readWholeFile(qEnvironmentVariable("TESSALY_FIDELITY_MESSAGES") + QLatin1Char('/') + name);
}

RenderedMessage renderMessage(const QByteArray &message, const QString &name, const std::string &options)
{
    RenderedMessage rendered;
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("email-1.eml"));
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(message) != message.size()) {
        rendered.error = QStringLiteral("cannot write the message file");
        return rendered;
    }
    file.close();

    const Result<ConvertedMessage> converted = sharedPdfMailConverter().Convert(
        source.toStdString(), folder.filePath(name + QStringLiteral(".pdf")).toStdString(), options);
    if (!converted.ok()) {
        rendered.error = QString::fromStdString(converted.error().message);
        return rendered;
    }
    rendered.converted = true;
    rendered.warnings = converted.value().warnings;
    const QString pdfPath = QString::fromStdString(converted.value().writtenPath);
    rendered.pdf = readWholeFile(pdfPath);
    rendered.text = pdfText(rendered.pdf);
    rendered.layoutText =
        toolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                                                 QStringLiteral("-layout"), pdfPath, QStringLiteral("-")});
    rendered.fonts = fontLines(pdfPath);
    rendered.images = pdfImageSizes(rendered.pdf);
    rendered.embeddedFiles = embeddedFileNames(pdfPath);
    QDirIterator entries(folder.path(), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString relative = QDir(folder.path()).relativeFilePath(entries.next());
        if (relative != QFileInfo(pdfPath).fileName() && relative != QStringLiteral("email-1.eml"))
            rendered.filesBeside.append(relative);
    }
    rendered.filesBeside.sort();
    keepRendering(rendered.pdf, name);
    return rendered;
}

RenderedMessage renderFidelityMessage(const QString &file, const std::string &options)
{
    return renderMessage(fidelityMessage(file), QFileInfo(file).completeBaseName(), options);
}

bool showsInOrder(const QString &text, std::initializer_list<const char *> phrases)
{
    const std::string flat = text.simplified().toStdString();
    std::size_t at = 0;
    for (std::string_view phrase : phrases) {
        at = flat.find(phrase, at);
        if (at == std::string::npos)
            return false;
        at += phrase.size();
    }
    return true;
}

std::vector<std::string> stdStrings(const QStringList &list)
{
    std::vector<std::string> out;
    for (const QString &item : list)
        out.push_back(item.toStdString());
    return out;
}

} // namespace tessaly::test
