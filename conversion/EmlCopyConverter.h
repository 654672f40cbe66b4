// A converter that keeps each message as a .eml file instead of rendering a PDF.
#pragma once

#include "platform/MailConverter.h"

namespace tessaly {

/// Copies the message file byte for byte, except a first "From " envelope line, to the
/// destination with ".pdf" replaced by ".eml" (or ".eml" appended when it does not end in
/// ".pdf"). Never overwrites: a taken name gets " (2)", " (3)" … before ".eml". The options
/// text is ignored; attachments stay in the copy.
class EmlCopyConverter : public MailConverter
{
public:
    using MailConverter::Convert;
    Result<ConvertedMessage> Convert(const FileInFolder &source, const FileInFolder &destination,
                                     const std::string &options) override;
    void takeBackUnrecordedOutputs() override { m_takesBackOutputs = true; }

private:
    bool m_takesBackOutputs = false;
};

/// `destination` with a final ".pdf" replaced by ".eml".
std::string emlDestination(const std::string &destination);

} // namespace tessaly
