// The attachment step of a conversion: names every attachment, embeds it or saves it beside the PDF.
#pragma once

#include "mailconverter/attachments/AttachmentFolderWriter.h"
#include "mailconverter/attachments/MessageCommit.h"
#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/readers/AttachmentFile.h"
#include "mailconverter/readers/AttachmentNames.h"
#include "platform/MailConverter.h"
#include "support/Result.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

class QPDF;

namespace tessaly {

/// Turns the uuencoded blocks of `message`'s plain-text bodies into attachments (appended
/// after the MIME ones), taking them out of the text that is shown.
void moveUuencodedFilesToAttachments(MailMessage &message);

/// Turns the page links that the renderer resolved against its own page address (e.g.
/// "tessaly://…/Hello%20attachments/a.txt") back into the relative `hrefs` they came from,
/// which PDF readers resolve against the PDF's own location.
Result<void> restoreRelativeLinks(QPDF &pdf, const std::vector<std::string> &hrefs);

/// What counts as an attachment is every part the message model puts in `attachments`: not
/// the shown body, not an inline image the body uses. A winmail.dat that can be read is
/// replaced by the files it carries; a forwarded message is saved as "<its subject>.eml"; a
/// part without a name as "attachment-N" plus an extension from its type. Names are made
/// safe and unique (ignoring case), and the same names are used in the list, in the PDF and
/// in the folder.
///
/// - ListOnly: the header block lists names and sizes; nothing is written.
/// - Embed: each file is embedded in the PDF (see embedAttachments); the list marks them.
/// - Folder: each file is saved in "<PDF name> attachments" beside the PDF, before the PDF,
///   and the list links to it. The links are made for the PDF's planned path.
///
/// One object serves one conversion. Calls come in this order: `prepare`, then (once the page
/// is rendered) `editPdf` within the PDF finishing pass, then `addFilesToSave`, which hands
/// what belongs beside the PDF to the commit. A failure of any step fails the conversion.
class MessageAttachments
{
public:
    /// Decides the attachments' names and returns the rows of the header block's list.
    /// `target` says where the PDF will be committed.
    Result<std::vector<AttachmentListing>> prepare(const MailMessage &message, AttachmentMode mode,
                                                   const CommitPlan &target);
    /// Edits the rendered PDF: embeds the files in Embed mode, makes the folder's links
    /// relative in Folder mode. Sets `minimumPdfVersion` when needed.
    Result<void> editPdf(QPDF &pdf, std::string &minimumPdfVersion);
    /// Folder mode: adds a file that the rendered page does not list (the whole text of a
    /// message cut at its page budget, or its whole header block) to the files to save, and
    /// returns the name it gets, unique among the attachments and the folder's files.
    std::string addUnlistedFile(const std::string &safeName, std::string bytes);
    /// Puts the files to save beside the PDF, and their folder, into `rendered`.
    void addFilesToSave(RenderedMessage &rendered) const;

    /// How many attachments `editPdf` embeds in the PDF.
    int embeddedCount() const { return m_mode == AttachmentMode::Embed ? static_cast<int>(m_files.size()) : 0; }

    /// The files with their final names, valid after `prepare` while the message lives.
    const std::vector<AttachmentFile> &files() const { return m_files; }

private:
    void collect(const MailMessage &message);
    void addFile(std::string safeName, const std::string &mimeType, std::string_view bytes);

    AttachmentMode m_mode = AttachmentMode::ListOnly;
    std::string m_modDate;
    std::deque<std::string> m_ownedBytes; ///< files unpacked from winmail.dat
    std::vector<AttachmentFile> m_files;
    UniqueNames m_names;
    AttachmentFolderPlan m_plan;
    UniqueNames m_folderNames;          ///< Folder mode: names in the folder and planned for it
    std::vector<FileToSave> m_unlisted; ///< Folder mode: saved beside the listed files
};

} // namespace tessaly
