// Which Reply-To addresses a header block shows.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <vector>

namespace tessaly {

/// The message's Reply-To addresses when answers go somewhere other than its sender, as a
/// phishing mail's do; empty when they are the From addresses (compared without regard to
/// case or order) or when there is no Reply-To.
std::vector<MailAddress> shownReplyTo(const MailMessage &message);

} // namespace tessaly
