// Reflowing text/plain; format=flowed (RFC 3676) into paragraphs.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

/// Joins soft-broken lines (those ending in a space) of flowed text with LF line ends.
/// Quote depth is kept: lines join only at equal depth, and each output line keeps its
/// "> " prefix. Space-stuffing is removed; with `delSp` the trailing space is deleted.
/// The signature separator "-- " is never joined.
std::string reflowFlowedText(std::string_view text, bool delSp);

} // namespace tessaly
