// Writing the cleaned markup of a message's parsed <body>, element by element.
#pragma once

#include "mailconverter/html/HtmlSanitizer.h"

#include <gumbo.h>

#include <string>

namespace tessaly {

/// The content of the parsed element `body`, serialised as the cleaner keeps it
/// (HtmlElementPolicy, HtmlUrlRules, cleanCss): every element closed, safe to embed. Remote
/// images become `options.remoteImagePlaceholder`'s markup, or go when they are tracking pixels.
std::string writeSanitizedBody(const GumboNode *body, const SanitizeOptions &options);

} // namespace tessaly
