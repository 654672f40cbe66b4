// Building and parsing test messages: mail travels with CR LF line ends, tests are easier to write with LF.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::test {

inline std::string crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

/// `text` with CR LF line ends, parsed from memory; an empty message when the parse fails.
inline MailMessage parse(std::string_view text)
{
    Result<MailMessage> parsed = tessaly::parseMailMessage(crlf(text));
    EXPECT_TRUE(parsed.ok());
    return parsed ? parsed.value() : MailMessage{};
}

/// A message of `subtype` ("mixed", "related", ...) made of `parts`, each its headers, a
/// blank line and its content.
inline std::string multipart(std::string_view subtype, std::initializer_list<std::string_view> parts)
{
    std::string text = "Subject: x\nContent-Type: multipart/" + std::string(subtype) + "; boundary=b\n\n";
    for (std::string_view part : parts)
        text.append("--b\n").append(part).append("\n");
    return text + "--b--\n";
}

/// The declared names of the message's attachments, in order.
inline std::vector<std::string> attachmentNames(const MailMessage &message)
{
    std::vector<std::string> names;
    for (const AttachmentPart &attachment : message.attachments)
        names.push_back(attachment.declaredName);
    return names;
}

} // namespace tessaly::test
