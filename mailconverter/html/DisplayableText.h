// Whether a message has text for its page to show, beyond its header block.
#pragma once

#include "mailconverter/mime/MailMessage.h"

namespace tessaly {

/// Whether a body of `message` or of a forwarded message holds a character to show: a
/// plain-text body that is not blank, or an HTML body with a character outside its tags,
/// comments, <head>, <style> and <script> that is not white space or "&nbsp;". A quick
/// look, not a parse: it errs towards "yes", which only costs a check of the page.
bool hasDisplayableText(const MailMessage &message);

} // namespace tessaly
