// One message's model from GMime's message: its headers decoded, its MIME tree walked, and
// its inline resources settled.
#pragma once

#include "mailconverter/mime/HeaderBlockRewrite.h"
#include "mailconverter/mime/MailMessage.h"

#include <gmime/gmime.h>

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// What the models of one message and of its forwarded messages share.
struct ParseContext
{
    GMimeParserOptions *options = nullptr;
    int nextImageNumber = 1; ///< for keys of shown images without a Content-ID, unique per page
};

/// Where a message being modelled came from.
struct MessageOrigin
{
    SetAsideHeaders setAside;      ///< header fields GMime was given empty, with their raw values
    GMimeStream *source = nullptr; ///< the stream GMime parsed, for parts whose bytes it does not keep; may be null
    std::vector<std::string> boundaries; ///< of the multiparts around the message in `source`, inner first
};

/// The charsets a message's parts declare.
struct DeclaredCharsets
{
    std::string text; ///< the first text part's: raw 8-bit headers and names are read in it
    std::string cjk;  ///< the first CJK one anywhere: bodies labelled as ASCII may be in it
};

/// The model of `message`. `forwardDepth` counts the forwarded messages it lies in;
/// `envelopeDate` is its mbox envelope line's date, the first fallback for a missing Date.
MailMessage buildMailMessage(GMimeMessage *message, MessageOrigin origin, ParseContext &context, int forwardDepth,
                             std::optional<MailDate> envelopeDate);

} // namespace tessaly
