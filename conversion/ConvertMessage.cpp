#include "conversion/ConvertMessage.h"

#include "conversion/MessageFile.h"

#include <exception>

namespace tessaly {
namespace {

/// What `step` gives, or its exception as the reason the converter failed.
template <typename Step> auto guarded(Step step) -> decltype(step())
{
    try {
        return step();
    } catch (const std::exception &exception) {
        return Error{std::string("the converter failed: ") + exception.what(), FailureKind::InternalError};
    } catch (...) {
        return Error{"the converter failed", FailureKind::InternalError};
    }
}

} // namespace

Result<void> ConvertMessage(ConcurrentMailConverter &converter, const FileInFolder &messageFile,
                            const FileInFolder &pdfPath, AttachmentMode attachments)
{
    return guarded([&]() -> Result<void> {
        converter.begin(messageFile, pdfPath, std::string(optionsTextFor(attachments)));
        return {};
    });
}

Result<ConvertedMessage> finishConvertMessage(ConcurrentMailConverter &converter, const FileInFolder &messageFile)
{
    Result<ConvertedMessage> converted = guarded([&] { return converter.finishOldest(); });
    if (!converted)
        return converted;
    if (!converted.value().keepMessageFile) {
        if (Result<void> removed = removeMessageFile(messageFile); !removed)
            converted.value().warnings.push_back(removed.error().message);
    }
    return converted;
}

} // namespace tessaly
