// The body of a part as it stands in the message, read from the stream the message was parsed from.
#pragma once

#include <gmime/gmime.h>

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

/// The body of `part` as it stands in `source`, the stream GMime parsed it from: from after the
/// empty line that ends its header block up to the line break before the next line that is a
/// delimiter of one of `boundaries` (the boundaries of the multiparts around the part, inner
/// first), or to the end of `source` when there are none. GMime rebuilds a message/rfc822
/// part from what it parsed, which loses a body that is no message; this keeps its bytes.
/// nullopt when the part has no header with an offset or its header block does not end.
std::optional<std::string> rawPartBody(GMimeStream *source, GMimeObject *part,
                                       const std::vector<std::string> &boundaries);

} // namespace tessaly
