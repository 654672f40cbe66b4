// The PDF's XMP metadata packet: the document info again, in the form archives read.
#pragma once

#include <string>

class QPDF;

namespace tessaly {

struct PdfMetadata;

/// The namespace of Tessaly's own XMP properties (prefix "tessaly"): messageId, mailbox.
inline constexpr const char *kTessalyXmpNamespace = "urn:tessaly:email:1.0#";

/// An XMP packet (UTF-8 RDF/XML) with dc:title, dc:creator, xmp:CreateDate, pdf:Producer
/// "Tessaly" and, in Tessaly's namespace, the Message-ID and the mailbox's file name. Empty
/// values are left out; every value is escaped for XML.
std::string xmpPacket(const PdfMetadata &metadata);

/// Puts xmpPacket(metadata) on the document catalogue as its /Metadata stream, replacing one
/// the renderer wrote. Throws qpdf's exceptions.
void setXmpMetadata(QPDF &pdf, const PdfMetadata &metadata);

} // namespace tessaly
