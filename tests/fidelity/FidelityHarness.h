// Converts one message of the fidelity set and shows the result as a reader of the PDF sees it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <string>
#include <vector>

namespace tessaly::test {

/// What one conversion gave.
struct RenderedMessage
{
    bool converted = false;
    QString error;                     ///< why the conversion failed, when it did
    std::vector<std::string> warnings; ///< the converter's warnings
    QByteArray pdf;
    QString text;              ///< pdftotext, reading order
    QString layoutText;        ///< pdftotext -layout, lines as drawn
    QStringList fonts;         ///< pdffonts: one "name type emb" line per font
    QList<QSize> images;       ///< pdfimages -list sizes, without icons and masks
    QStringList embeddedFiles; ///< pdfdetach -list names
    QStringList filesBeside;   ///< files and folders the conversion left beside the PDF (relative)
};

/// The bytes of tests/fidelity/messages/`name`.
QByteArray fidelityMessage(const QString &name);

/// Converts `message` with `options` (one of the three options texts) in a fresh folder.
/// With TESSALY_KEEP_RENDERINGS set, the PDF and its first pages are kept there as `name`.
RenderedMessage renderMessage(const QByteArray &message, const QString &name, const std::string &options = "-c pdf");

/// Shorthand: renderMessage(fidelityMessage(file), file's base name, options).
RenderedMessage renderFidelityMessage(const QString &file, const std::string &options = "-c pdf");

/// Whether `text`, white space collapsed, holds `phrases` in this order.
bool showsInOrder(const QString &text, std::initializer_list<const char *> phrases);

/// `list` as UTF-8 strings, for comparing with expected names.
std::vector<std::string> stdStrings(const QStringList &list);

} // namespace tessaly::test
