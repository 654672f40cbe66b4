// The page of a message that is plain text only, as paragraphs for TextPageWriter.
#pragma once

#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/render/TextPageWriter.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Whether everything on the page of `message` below its header block is plain text: bodies
/// that are all plain text (or none), and no forwarded message.
bool isPlainTextPage(const MailMessage &message);

/// The paragraphs of plain-text bodies as the page shows them: each line a paragraph of its
/// own in the monospaced face, wrapping at the column's edge; quoted lines ("> ", ">> " …)
/// indented by depth, in their level's colour, with one bar per level. A line longer than
/// kPrewrapAfterColumns bytes is split into paragraphs of at most that many, at a
/// character's boundary, so that its layout takes linear time.
std::vector<TextParagraph> plainTextParagraphs(const MailMessage &message);

/// The language tag for laying out the page of `message` ("zh-TW", "ja" …): that of its
/// Chinese, Japanese or Korean text, which picks the Han face; empty when it has none.
std::string pageLanguageTag(const MailMessage &message);

} // namespace tessaly
