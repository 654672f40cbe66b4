// Gathering a message's CSS style sheets from its parse tree, for our page's head.
#pragma once

#include "mailconverter/html/HtmlSanitizer.h"
#include "mailconverter/html/HtmlUrlRules.h"

#include <gumbo.h>

#include <vector>

namespace tessaly {

/// Every CSS <style> under `root`, in document order (a browser applies those of the body
/// too), its media and rules read as for a screen (screenMedia), cleaned (cleanCss) and safe to
/// place inside a <style> element. A <style> of another type, or inside a template or script,
/// does not count.
std::vector<StyleSheet> collectStyleSheets(const GumboNode *root, const ReferenceResolver &resolve);

} // namespace tessaly
