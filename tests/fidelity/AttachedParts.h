// The attached parts of a message as GMime reads them, for tests that look for their bytes.
#pragma once

#include <string>
#include <vector>

namespace tessaly::test {

/// The decoded bytes of every part of `message` marked as an attachment and of every attached
/// message (taken whole, as it stands between its header block and the next delimiter, not
/// parsed), in the order of the parts. TNEF parts are left out: the files they carry replace
/// them.
std::vector<std::string> attachedPartsOf(std::string message);

} // namespace tessaly::test
