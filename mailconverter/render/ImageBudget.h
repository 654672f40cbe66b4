// How much of a message's inline imagery is drawn: a pixel budget per message.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

/// Decoded pixels one message may draw, all its inline images together. A decoded pixel
/// costs 4 bytes in each renderer, so this bounds their memory whatever the message holds.
inline constexpr std::int64_t kImagePixelBudget = std::int64_t(64) * 1024 * 1024;
/// What the smallest image costs: each image also costs the renderer a layout box, a decoder
/// and a request, so thousands of tiny ones are as heavy as one big one.
inline constexpr std::int64_t kMinimumImageCost = 256 * 256;

/// The inline images that were not drawn, and why.
struct UndrawnImages
{
    std::vector<std::string> names; ///< the names they are listed (and saved) under
    std::string reason;             ///< e.g. "over this message's budget of 64 megapixels"
};

/// Spends `budget` on the inline images of `message` and its forwarded messages, in their
/// order; an image's cost is the pixel count its header declares (at least
/// kMinimumImageCost). An image that does not fit is taken out of the inline resources, so
/// that no renderer decodes it, and added to that message's attachments as
/// "inline image N.ext", so that it is listed, and saved as the options say, with the rest.
/// Parts that are not images, or whose size cannot be read, cost the minimum.
UndrawnImages keepImagesWithinBudget(MailMessage &message, std::int64_t budget = kImagePixelBudget);

/// The header block's line for `undrawn`: how many, their names (the first few, then
/// "and N more") and the reason. "" when every image was drawn.
std::string undrawnImagesNote(const UndrawnImages &undrawn);

} // namespace tessaly
