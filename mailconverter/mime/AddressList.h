// Address headers (From, To, Cc) read into mailboxes with names decoded to UTF-8.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <gmime/gmime.h>

#include <string_view>
#include <vector>

namespace tessaly {

/// The mailboxes of the raw address header value `raw`, groups flattened. Encoded words GMime
/// would lose are repaired first, and raw 8-bit text is read in `declaredCharset` (the charset
/// the message's text declares). A comment beside an address joins its name. A value that
/// holds no address at all is one mailbox whose name is the decoded value.
std::vector<MailAddress> parseAddressList(std::string_view raw, std::string_view declaredCharset,
                                          GMimeParserOptions *options);

} // namespace tessaly
