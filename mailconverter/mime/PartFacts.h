// What one MIME part says of itself: its type, parameters, name and disposition, and what
// kind of content that makes it.
#pragma once

#include <gmime/gmime.h>

#include <string>
#include <string_view>

namespace tessaly {

/// Hostile mail nests multiparts thousands deep; nothing real goes near this.
inline constexpr int kMaxPartDepth = 40;

/// `text` as valid UTF-8 (decodeToUtf8 with no label); "" for null.
std::string validUtf8(const char *text);

/// The part's media type, lower case. RFC 2045: a Content-Type that cannot be read means
/// text/plain; an object without one is application/octet-stream.
std::string mimeTypeOf(GMimeObject *object);

/// The Content-Type parameter `name`, as GMime reads it; "" when there is none or the
/// Content-Type cannot be read.
std::string contentTypeParameter(GMimeObject *object, const char *name);

/// The file name the part declares, decoded to UTF-8 (raw 8-bit names in `declaredCharset`,
/// the charset the message's text declares); "" when it declares none.
std::string declaredNameOf(GMimeObject *object, std::string_view declaredCharset);

/// Whether the part's Content-Disposition is `kind` ("inline", "attachment"), case ignored.
bool hasDisposition(GMimeObject *object, const char *kind);
bool isAttachmentDisposition(GMimeObject *object);

/// Parts that carry a whole message, which clients show as a forwarded message.
bool isMessageType(const std::string &type);

/// Whether the bytes of an attached message start with a header block that has a field.
bool holdsHeaderFields(std::string_view bytes);

/// Machine-readable reports and header dumps: plain text that clients show as such.
bool isReportType(const std::string &type);

/// The image types both browser engines draw.
bool isShowableImage(const std::string &type);

/// Whether a client can show this alternative: text it renders that is not blank, or a
/// multipart holding some. `depth` is the part's depth in its message.
bool canDisplayAlternative(GMimeObject *object, int depth);

/// The charset a <meta> near the start of an HTML part names; "" when none does.
std::string sniffHtmlCharset(std::string_view html);

/// A multipart whose boundary is lost or wrong leaves its parts in the prologue. The first
/// line that opens a part with headers names the boundary the sender really used; "" if none.
std::string boundaryInPrologue(std::string_view text);

} // namespace tessaly
