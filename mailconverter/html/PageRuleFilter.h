// Keeps a message's style sheets away from the page box and from loading fonts.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// `css` without its @page, @import and @font-face rules, wherever they stand (also inside
/// @media or @supports blocks). The paper is ours: the header block is drawn at a fixed place
/// on the first page, which a message's page size could move, and an imported sheet could
/// bring such a rule in. Mail reads well in our fonts, and a message's own (thousands of them
/// in data: URLs) cost memory and a font in the PDF each. An at-rule whose name is written
/// with escapes goes too, since the browser reads "@p\61ge" as "@page". Strings and comments
/// are skipped as CSS reads them, so text that only looks like a rule stays.
std::string withoutPageImportAndFontRules(std::string_view css);

} // namespace tessaly
