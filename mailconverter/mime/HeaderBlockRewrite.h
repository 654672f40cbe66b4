// A header block rewritten for GMime where GMime would misread it as it stands.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

/// Header fields GMime was given empty, with their raw values: name, value.
using SetAsideHeaders = std::vector<std::pair<std::string, std::string>>;

/// A header block as GMime is to see it: `front` replaces the first `replaced` bytes.
struct HeaderBlockRewrite
{
    std::string front;
    std::size_t replaced = 0;
    SetAsideHeaders setAside; ///< fields GMime sees empty
};

/// Reads the header block at the start of `head` line by line. A line that is neither a
/// header nor the continuation of one (a whitespace-only line included) starts the body:
/// GMime would take it, and the body after it, as headers. Fields full of "=?" are set aside,
/// and a line of white space before the first field is dropped. nullopt when GMime may read
/// the block as it is, or when it does not end within `head`.
std::optional<HeaderBlockRewrite> rewriteHeaderBlock(std::string_view head);

} // namespace tessaly
