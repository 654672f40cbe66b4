// Decoding raw header values: unfolding, RFC 2047 encoded words and the dates mail carries.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// A header field with more "=?" than this is decoded by us alone, unfolded and trimmed: GMime's
/// own decoder takes time quadratic in their number when they are not closed.
inline constexpr std::size_t kMaxEncodedWordStartsForGMime = 200;

/// Whether the field `name` with the raw value `value` holds more "=?" than GMime is given
/// (kMaxEncodedWordStartsForGMime). Content-Type never is: GMime must read it to find the parts.
bool isKeptFromGMime(std::string_view name, std::string_view value);

/// Removes folding (CR LF or LF followed by a space or tab), keeping the space or tab, and
/// drops a final line end. Other tabs and stray line breaks stay.
std::string unfoldHeader(std::string_view raw);

/// Decodes an unstructured header value (e.g. Subject) to UTF-8. Handles encoded words in
/// any charset iconv knows, adjacent words that split one character, unpadded base64,
/// unknown charset names (read as UTF-8, then windows-1252) and raw 8-bit bytes.
/// Whitespace between adjacent encoded words is dropped (RFC 2047 6.2). Raw 8-bit text is
/// read as decodeHeaderBytes does, with `declaredCharset` the charset the message's text
/// declares. Linear in the length of `raw`, however many "=?" it holds.
std::string decodeHeaderText(std::string_view raw, std::string_view declaredCharset = {});

/// Rewrites every run of encoded words as UTF-8 base64 words of the same text, as
/// decodeHeaderText reads it, for parsers (GMime's address parser) that would lose unknown
/// charsets, unpadded base64 or split characters. Plain text is left as it is, except that
/// raw 8-bit text becomes UTF-8 (see decodeHeaderText).
std::string reencodeEncodedWords(std::string_view raw, std::string_view declaredCharset = {});

/// The charset of the first encoded word in `raw` whose charset is a CJK one; "" when none.
std::string firstCjkEncodedWordCharset(std::string_view raw);

/// Whether a Content-Type value reads as "type/subtype" (blanks around either allowed);
/// anything after the subtype's first token is GMime's business. RFC 2045: one that does not
/// means text/plain in us-ascii.
bool isParseableMediaType(std::string_view value);

/// Parses an RFC 5322 date ("Fri, 5 Mar 2021 14:07:00 +0100", with the usual sloppiness).
/// nullopt for garbage.
std::optional<MailDate> parseHeaderDate(std::string_view text);

/// The date of an mbox envelope line ("From someone@example.com Mon Jan  2 10:00:00 2023"),
/// read as UTC. nullopt when the line carries none.
std::optional<MailDate> parseEnvelopeDate(std::string_view fromLine);

/// The date after the last ';' of a Received header value.
std::optional<MailDate> parseReceivedDate(std::string_view receivedValue);

} // namespace tessaly
