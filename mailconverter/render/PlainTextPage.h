// Plain-text bodies as paragraphs for TextPageWriter.
#pragma once

#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/textpages/TextPageWriter.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The paragraphs of a plain-text body's `text` as the page shows them: each line a paragraph
/// of its own in the monospaced face, wrapping at the column's edge; quoted lines ("> ",
/// ">> " …) indented by depth, in their level's colour, with one bar per level. A line longer
/// than kPrewrapAfterColumns bytes is split into paragraphs of at most that many, at a
/// character's boundary, so that its layout takes linear time.
std::vector<TextParagraph> plainTextParagraphs(std::string_view text);

/// The language tag for laying out the page of `message` ("zh-TW", "ja" …): that of its
/// Chinese, Japanese or Korean text, which picks the Han face; empty when it has none.
std::string pageLanguageTag(const MailMessage &message);

} // namespace tessaly
