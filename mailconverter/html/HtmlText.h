// The text of an HTML body, for a page that shows it without its markup.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// The text a reader sees of `html`, parsed as a browser parses it: white space collapsed as
/// in normal flow (kept inside <pre>), a line break at <br> and around each block (paragraphs,
/// headings, list items, table rows …), table cells apart by a space, and nothing of <head>,
/// <script>, <style>, <template> or comments. Lines end with LF, without a blank line at
/// either end. Links keep their text only.
std::string htmlText(std::string_view html);

} // namespace tessaly
