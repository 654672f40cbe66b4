#include "mailconverter/pdf/XmpMetadata.h"

#include "mailconverter/pdf/PdfFinisher.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace tessaly {
namespace {

/// Text for XML character data and attribute values. Characters XML 1.0 forbids (C0
/// controls other than tab, CR and LF; U+FFFE, U+FFFF) are dropped: a packet with one does not parse.
std::string xmlEscaped(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            continue;
        switch (u) {
        case '&':
            escaped += QStringLiteral("&amp;");
            break;
        case '<':
            escaped += QStringLiteral("&lt;");
            break;
        case '>':
            escaped += QStringLiteral("&gt;");
            break;
        case '"':
            escaped += QStringLiteral("&quot;");
            break;
        case '\r':
            escaped += QStringLiteral("&#13;");
            break;
        default:
            escaped += c;
        }
    }
    return escaped.toStdString();
}

std::string languageAlternative(const char *property, const QString &text)
{
    return std::string("   <") + property + "><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xmlEscaped(text) +
           "</rdf:li></rdf:Alt></" + property + ">\n";
}

std::string simpleProperty(const char *property, const QString &text)
{
    return std::string("   <") + property + ">" + xmlEscaped(text) + "</" + property + ">\n";
}

} // namespace

std::string xmpPacket(const PdfMetadata &metadata)
{
    std::string body;
    if (!metadata.title.isEmpty())
        body += languageAlternative("dc:title", metadata.title);
    if (!metadata.author.isEmpty())
        body += "   <dc:creator><rdf:Seq><rdf:li>" + xmlEscaped(metadata.author) + "</rdf:li></rdf:Seq></dc:creator>\n";
    if (metadata.created.isValid())
        body += simpleProperty("xmp:CreateDate", metadata.created.toString(Qt::ISODate));
    body += simpleProperty("xmp:CreatorTool", QStringLiteral("Tessaly"));
    body += simpleProperty("pdf:Producer", QStringLiteral("Tessaly"));
    if (!metadata.messageId.isEmpty())
        body += simpleProperty("tessaly:messageId", metadata.messageId);
    if (!metadata.mailboxFileName.isEmpty())
        body += simpleProperty("tessaly:mailbox", metadata.mailboxFileName);

    // The begin mark's byte order mark and the padding let an editor update the packet in place.
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
           " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "  <rdf:Description rdf:about=\"\"\n"
           "    xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
           "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
           "    xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\"\n"
           "    xmlns:tessaly=\"" +
           std::string(kTessalyXmpNamespace) + "\">\n" + body +
           "  </rdf:Description>\n"
           " </rdf:RDF>\n"
           "</x:xmpmeta>\n" +
           std::string(1024, ' ') + "\n<?xpacket end=\"w\"?>";
}

void setXmpMetadata(QPDF &pdf, const PdfMetadata &metadata)
{
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, xmpPacket(metadata));
    QPDFObjectHandle dictionary = stream.getDict();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
    pdf.getRoot().replaceKey("/Metadata", stream);
}

} // namespace tessaly
