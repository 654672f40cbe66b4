// The converter component: turns one message file into a PDF.
#pragma once

#include "support/FolderHandle.h"
#include "support/Result.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The three options texts `Convert` accepts, exactly.
inline constexpr std::string_view kConvertPdfOnly = "-c pdf";
inline constexpr std::string_view kConvertEmbedAttachments = "-c PDF -attach";
inline constexpr std::string_view kConvertAttachmentFolder = "-c PDF -sattach";

/// What an options text asks for, one mode per text.
enum class AttachmentMode
{
    ListOnly, ///< "-c pdf": the PDF of the message only; its attachments are listed
    Embed,    ///< "-c PDF -attach": attachments embedded in the PDF
    Folder,   ///< "-c PDF -sattach": attachments saved in a folder beside the PDF
};

/// The mode for an options text; nullopt for anything but the three texts, exactly.
constexpr std::optional<AttachmentMode> attachmentModeFor(std::string_view options)
{
    if (options == kConvertPdfOnly)
        return AttachmentMode::ListOnly;
    if (options == kConvertEmbedAttachments)
        return AttachmentMode::Embed;
    if (options == kConvertAttachmentFolder)
        return AttachmentMode::Folder;
    return std::nullopt;
}

/// The options text that asks for `mode`.
constexpr std::string_view optionsTextFor(AttachmentMode mode)
{
    switch (mode) {
    case AttachmentMode::Embed:
        return kConvertEmbedAttachments;
    case AttachmentMode::Folder:
        return kConvertAttachmentFolder;
    case AttachmentMode::ListOnly:
        break;
    }
    return kConvertPdfOnly;
}

/// What a successful conversion wrote.
struct ConvertedMessage
{
    /// The file written: the destination, or "destination (n).pdf" when that name was taken.
    std::string writtenPath;
    /// How many files were saved in the attachments folder beside it.
    int attachmentsSaved = 0;
    /// How many of the message's attachments were embedded in it.
    int attachmentsEmbedded = 0;
    /// Things the reader of the report should know, e.g. that the plain-text fallback drew
    /// an HTML body. Empty when all went as planned.
    std::vector<std::string> warnings;
    /// Asks the run to keep the message file: the PDF lacks something of the message that
    /// was saved nowhere else (e.g. an image not drawn, with attachments not saved).
    bool keepMessageFile = false;
    /// Hex SHA-256 of the message bytes embedded in the PDF as its source; "" when none is.
    std::string embeddedSourceSha256{};
};

/// Converts message files to PDF. One instance serves a whole run.
class MailConverter
{
public:
    virtual ~MailConverter() = default;

    /// Converts the message file `source` into a PDF at `destination`, handling attachments
    /// as `options` says (one of the three options texts). Never overwrites: a taken name
    /// gets " (2)", " (3)" … before its extension. When it returns, the PDF is complete on
    /// disk and `source` is no longer in use; on failure no PDF is left and the error says why.
    /// Every file is read and written through the folders' handles: no link there is followed.
    virtual Result<ConvertedMessage> Convert(const FileInFolder &source, const FileInFolder &destination,
                                             const std::string &options) = 0;

    /// The run resumes earlier ones: a file under a planned name that carries the message's
    /// mark (FileMark.h) is its own output, which a killed run named but did not record, and
    /// is replaced rather than kept beside the new one. Off unless called: converting again
    /// (--force) keeps every file it finds.
    virtual void takeBackUnrecordedOutputs() {}

    /// The same for paths whose folders the caller vouches for (links to them are followed).
    Result<ConvertedMessage> Convert(const std::string &source, const std::string &destination,
                                     const std::string &options)
    {
        Result<FileInFolder> from = fileAt(source);
        if (!from)
            return from.error();
        Result<FileInFolder> to = fileAt(destination);
        if (!to)
            return to.error();
        return Convert(from.value(), to.value(), options);
    }
};

/// Makes the converter for one run, or says why it cannot.
using MailConverterFactory = std::function<Result<std::unique_ptr<MailConverter>>()>;

} // namespace tessaly
