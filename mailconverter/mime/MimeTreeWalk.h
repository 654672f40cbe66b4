// The walk over a message's MIME tree that puts its parts into the model: bodies in display
// order, attachments, forwarded messages, and the parts that may be inline resources.
#pragma once

#include "mailconverter/mime/InlineResources.h"
#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/mime/MessageModelBuilder.h"

#include <gmime/gmime.h>

#include <string>
#include <utility>
#include <vector>

namespace tessaly {

/// Walks one message's tree into `message`; each level of the tree has a function of its own.
class MimeTreeWalk
{
public:
    /// `source` and `boundaries` as in MessageOrigin; `charsets` those the message declares.
    MimeTreeWalk(MailMessage &message, ParseContext &context, int forwardDepth, GMimeStream *source,
                 std::vector<std::string> boundaries, DeclaredCharsets charsets)
        : m_message(message), m_context(context), m_forwardDepth(forwardDepth), m_source(source),
          m_boundaries(std::move(boundaries)), m_charsets(std::move(charsets))
    {
    }

    /// Walks `object` at `depth`. `namedTextIsBody`: whether a text part with a file name may
    /// be a body; false for the later parts of a multipart/mixed, where named text parts are
    /// attached files.
    void walk(GMimeObject *object, int depth, bool namedTextIsBody = true);

    /// The parts with a Content-ID or Content-Location met so far, for settleInlineResources.
    std::vector<ResourceCandidate> takeResourceCandidates() { return std::move(m_candidates); }

private:
    void walkMultipart(GMimeMultipart *multipart, int depth);
    void walkAlternative(GMimeMultipart *multipart, int depth);
    void walkRelated(GMimeMultipart *multipart, int depth);
    void walkLeaf(GMimePart *part, bool namedTextIsBody);
    void walkMessagePart(GMimeMessagePart *part);
    void walkEncodedMessage(GMimePart *part, std::string name);
    void addForwarded(GMimeMessage *inner, MessageOrigin origin);
    void addTextBody(GMimePart *part, const std::string &mimeType);
    void addCalendar(GMimePart *part, std::string name);
    std::string contentOf(GMimePart *part);
    void addImage(InlineResource resource);
    void addAttachment(std::string name, std::string mimeType, std::string bytes, bool forwarded = false);

    MailMessage &m_message;
    std::vector<ResourceCandidate> m_candidates;
    ParseContext &m_context;
    int m_forwardDepth = 0;
    GMimeStream *m_source = nullptr;       ///< not owned
    std::vector<std::string> m_boundaries; ///< of the multiparts around the part walked, inner first
    DeclaredCharsets m_charsets;
};

} // namespace tessaly
