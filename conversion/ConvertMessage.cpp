// The conversion step: one message file to its PDF, with the chosen attachment handling.
#include "ConvertMessage.h"

#include "MessageFile.h"
#include "PathHelpers.h"
#include "TextHelpers.h"

#include <exception>

namespace tessaly {

Result<ConvertedMessage> ConvertMessage(MailConverter &converter, const std::string &messageFile,
                                        const std::string &pdfPath, AttachmentMode attachments)
{
    const std::string source = trimBlanks(messageFile);
    Result<ConvertedMessage> converted = Error{"the converter did not run"};
    try {
        converted = converter.Convert(source, pdfPath, std::string(optionsTextFor(attachments)));
    } catch (const std::exception &exception) {
        return Error{std::string("the converter failed: ") + exception.what()};
    } catch (...) {
        return Error{"the converter failed"};
    }
    if (!converted)
        return converted;

    if (!converted.value().keepMessageFile && FileExists(source)) {
        if (Result<void> removed = removeMessageFile(source); !removed)
            converted.value().warnings.push_back(removed.error().message);
    }
    return converted;
}

} // namespace tessaly
