// Feeds arbitrary bytes to the winmail.dat reader, the uuencode extractor and the name rules:
// no crash, no hang, and every name they lead to is safe.
#include "mailconverter/readers/AttachmentNames.h"
#include "mailconverter/readers/TnefReader.h"
#include "mailconverter/readers/UuencodeExtractor.h"
#include "support/Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tessaly;

namespace {

void checkSafe(const std::string &name)
{
    const bool unsafe = name.empty() || name.find_first_of("/\\:<>\"|?*") != std::string::npos || name.front() == '.' ||
                        name.front() == ' ' || name.back() == '.' || name.back() == ' ' ||
                        name.size() > kMaxAttachmentNameBytes + 4 // "_" before a device name is the only growth
                        || name != toValidUtf8(name);
    if (unsafe)
        std::abort();
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);

    if (Result<std::vector<ExtractedAttachment>> files = readTnefAttachments(bytes)) {
        for (const ExtractedAttachment &file : files.value())
            checkSafe(safeAttachmentName(file.declaredName, file.mimeType, 1));
    }
    for (const ExtractedAttachment &file : extractUuencodedFiles(bytes).attachments)
        checkSafe(safeAttachmentName(file.declaredName, file.mimeType, 2));

    checkSafe(safeAttachmentName(bytes.substr(0, 400), "text/plain", 3));
    checkSafe(forwardedMessageName(subjectOfRawMessage(bytes), 4));
    asciiFallbackName(bytes.substr(0, 400));
    return 0;
}
