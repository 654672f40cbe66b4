// Whether an alternative of a multipart/alternative has something for a reader to see.
#pragma once

#include <string_view>

namespace tessaly {

/// Whether decoded text shows anything: plain text that is not white space, or HTML with a
/// character outside its tags, comments, <head>, <style>, <script> and <title> that is not
/// white space or a no-break space, or with an image or embedded object. Senders write an
/// empty or blank HTML alternative beside a full text one; a client then shows the text.
/// Errs towards "yes" for markup left open.
bool hasDisplayableContent(std::string_view text, bool isHtml);

/// Whether HTML has text to show: the same look, but an image or embedded object alone does
/// not count. For checking that a page drew the message's text.
bool htmlHasText(std::string_view html);

} // namespace tessaly
