#include "mailconverter/render/PdfMailConverter.h"

#include "mailconverter/attachments/AttachmentEmbedder.h"
#include "mailconverter/attachments/MessageAttachments.h"
#include "mailconverter/attachments/SourceEmbedding.h"
#include "mailconverter/html/BodySizeLimit.h"
#include "mailconverter/html/DisplayableText.h"
#include "mailconverter/html/HtmlComposer.h"
#include "mailconverter/mime/BoundedHeaderBlock.h"
#include "mailconverter/mime/SecuredPart.h"
#include "mailconverter/pdf/PdfFinisher.h"
#include "mailconverter/pdf/PdfTextPresence.h"
#include "mailconverter/render/HeaderStamp.h"
#include "mailconverter/render/ImageBudget.h"
#include "mailconverter/render/MessageParagraphs.h"
#include "mailconverter/render/PlainTextPage.h"
#include "mailconverter/render/WebEngineRenderer.h"
#include "mailconverter/textpages/PageSetup.h"
#include "mailconverter/textpages/TextPageWriter.h"
#include "support/ByteSize.h"
#include "support/FileMark.h"
#include "support/PathHelpers.h"
#include "support/Sha256.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPageSize>
#include <QRect>
#include <QRectF>
#include <QUrl>

#include <filesystem>

namespace tessaly {
namespace {

void collectResources(const MailMessage &message, MessageResources &resources)
{
    for (const InlineResource &resource : message.inlineResources) {
        const QString key = QString::fromStdString(resourceKey(resource));
        if (key.isEmpty() || resources.contains(key))
            continue;
        resources.insert(key, MessageResource{QByteArray::fromStdString(resource.mimeType),
                                              QByteArray::fromStdString(resource.bytes)});
    }
    for (const MailMessage &inner : message.forwarded)
        collectResources(inner, resources);
}

/// The run writes each message file into its mailbox's output folder, which bears the
/// mailbox's file name.
PdfMetadata metadataOf(const MailMessage &message, const std::string &destination)
{
    PdfMetadata metadata;
    metadata.messageId = QString::fromStdString(message.messageId);
    metadata.mailboxFileName = QString::fromStdString(fromFsPath(toFsPath(destination).parent_path().filename()));
    metadata.title = QString::fromStdString(message.subject);
    metadata.author = QString::fromStdString(senderDisplayName(message));
    if (message.date)
        metadata.created = QDateTime::fromSecsSinceEpoch(message.date->utcSeconds, Qt::OffsetFromUTC,
                                                         message.date->offsetMinutes * 60);
    return metadata;
}

std::string paperSizeOf(const QPageLayout &layout)
{
    return layout.pageSize().id() == QPageSize::Letter ? "letter" : "A4";
}

/// The header block may take at most this share of the first page's column.
constexpr qreal kMaxHeaderShareOfPage = 0.5;

/// The whole header block of a message whose header fields were cut, as a file of its own.
constexpr std::string_view kWholeHeaderBlockName = "message headers.txt";

/// Where the whole text of what the page cuts is kept: in the embedded message when there is
/// one, else where the attachments go, else in the message file, which is then kept.
enum class WholeTextPlace
{
    EmbeddedMessage,
    MessageFile,
    WithAttachments
};

WholeTextPlace wholeTextPlace(AttachmentMode mode, const std::string &messageSourceFile)
{
    if (!messageSourceFile.empty())
        return WholeTextPlace::EmbeddedMessage;
    return mode == AttachmentMode::ListOnly ? WholeTextPlace::MessageFile : WholeTextPlace::WithAttachments;
}

/// Keeps the whole texts `cutBodies` holds from `first` on where the attachments go: saved in
/// the attachments folder, and taken out of `cutBodies`, in Folder mode; else left there, to be
/// embedded. Returns where each went, for the warnings.
std::vector<std::string> keepWithAttachments(std::vector<CutBody> &cutBodies, std::size_t first, AttachmentMode mode,
                                             MessageAttachments &attachments)
{
    std::vector<std::string> places;
    for (std::size_t i = first; i < cutBodies.size(); ++i) {
        if (mode == AttachmentMode::Folder)
            places.push_back("saved in the attachments folder as '" +
                             attachments.addUnlistedFile(cutBodies[i].fileName, std::move(cutBodies[i].text)) + "'");
        else
            places.push_back("embedded in the PDF as '" + cutBodies[i].fileName + "'");
    }
    if (mode == AttachmentMode::Folder)
        cutBodies.resize(first);
    return places;
}

/// Keeps the whole text of a message whose pages were cut at `pages` where its attachments
/// go, and says where in `converted`'s warnings.
void keepWholeTextOfCutPages(const MailMessage &message, int pages, AttachmentMode mode,
                             const std::string &messageSourceFile, std::vector<CutBody> &cutBodies,
                             MessageAttachments &attachments, ConvertedMessage &converted)
{
    std::string warning =
        "the message was cut at " + QLocale(QLocale::English).toString(pages).toStdString() + " pages; its whole ";
    switch (wholeTextPlace(mode, messageSourceFile)) {
    case WholeTextPlace::EmbeddedMessage:
        converted.warnings.push_back(warning + "message is embedded in the PDF as '" + messageSourceFile + "'");
        return;
    case WholeTextPlace::MessageFile:
        converted.keepMessageFile = true;
        converted.warnings.push_back(warning + "text is saved nowhere else, so the message file is kept");
        return;
    case WholeTextPlace::WithAttachments:
        break;
    }
    // The bodies cut for their size are embedded whole already, whatever the mode.
    const std::size_t first = cutBodies.size();
    for (std::size_t i = 0; i < first; ++i)
        converted.warnings.push_back(warning + "text is embedded in the PDF as '" + cutBodies[i].fileName + "'");
    keepUncutBodies(message, cutBodies);
    for (const std::string &place : keepWithAttachments(cutBodies, first, mode, attachments))
        converted.warnings.push_back(warning + "text is " + place);
}

/// "the header field 'Subject' (200 MB) was", "the header fields 'A' (2 MB) and 'B' (3 MB) were".
std::string cutFieldsNamed(const std::vector<CutHeaderField> &fields)
{
    std::string named = fields.size() == 1 ? "the header field " : "the header fields ";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            named += i + 1 == fields.size() ? " and " : ", ";
        named += "'" + fields[i].name + "' (" + formatByteSize(fields[i].bytes) + ")";
    }
    return named + (fields.size() == 1 ? " was" : " were");
}

/// For a message with header fields too long to read whole: keeps its whole header block as
/// a cut page's whole text is kept, read again from `messageFile`, and says so in `converted`'s
/// warnings.
Result<void> keepWholeHeaderBlock(const MailMessage &message, const OpenFile &messageFile, AttachmentMode mode,
                                  const std::string &messageSourceFile, std::vector<CutBody> &cutBodies,
                                  MessageAttachments &attachments, ConvertedMessage &converted)
{
    const std::string warning = cutFieldsNamed(message.cutHeaderFields) + " read only to " +
                                formatByteSize(kMaxHeaderFieldBytes) + "; the whole header block is ";
    switch (wholeTextPlace(mode, messageSourceFile)) {
    case WholeTextPlace::EmbeddedMessage:
        converted.warnings.push_back(warning + "in the message embedded in the PDF as '" + messageSourceFile + "'");
        return {};
    case WholeTextPlace::MessageFile:
        converted.keepMessageFile = true;
        converted.warnings.push_back(warning + "saved nowhere else, so the message file is kept");
        return {};
    case WholeTextPlace::WithAttachments:
        break;
    }
    Result<std::string> block = readWholeHeaderBlock(messageFile, message);
    if (!block)
        return block.error();
    cutBodies.push_back({std::string(kWholeHeaderBlockName), "text/plain", std::move(block).value()});
    for (const std::string &place : keepWithAttachments(cutBodies, cutBodies.size() - 1, mode, attachments))
        converted.warnings.push_back(warning + place);
    return {};
}

/// `pdf`, or an error when it was to show text and shows none: called converted, an empty page
/// would lose the message; failed, its file is kept.
Result<QByteArray> withText(Result<QByteArray> pdf, bool expectsText)
{
    if (!pdf || !expectsText)
        return pdf;
    Result<bool> drawsText = pdfDrawsText(pdf.value());
    if (!drawsText)
        return drawsText.error();
    if (!drawsText.value())
        return Error{"the page shows none of the message's text", FailureKind::RenderFailed};
    return pdf;
}

HeaderStamp headerStampFor(const MailMessage &message, const std::vector<AttachmentListing> &listings,
                           const QPageLayout &layout)
{
    const QSizeF column = layout.paintRect(QPageLayout::Point).size();
    return HeaderStamp(message, listings, column.width(), column.height() * kMaxHeaderShareOfPage);
}

} // namespace

/// The page layout and the two renderers, which serve the whole run.
struct PdfMailConverter::Pages
{
    QPageLayout layout = defaultPageLayout();
    std::unique_ptr<WebEngineRenderer> webRenderer; ///< started at the first page that needs it

    WebEngineRenderer &web()
    {
        if (!webRenderer)
            webRenderer = std::make_unique<WebEngineRenderer>();
        return *webRenderer;
    }

    /// Renders the page within `budget`; `stamp` receives the header block to stamp on it and
    /// `noticeStamp` the budget's notice, should `cut` be set. `htmlRendererCrashed` says
    /// whether the plain-text renderer drew an HTML body because the web engine's process died.
    Result<QByteArray> render(const MailMessage &message, const std::vector<AttachmentListing> &listings,
                              const HeaderStamp &header, const PageBudget &budget, PageStamp &stamp,
                              PageStamp &noticeStamp, bool &cut, std::vector<std::string> &warnings,
                              bool &htmlRendererCrashed);

    /// The page drawn by TextPageWriter (messageParagraphs), like render; with `htmlAsText`,
    /// HTML bodies are drawn as their text.
    Result<QByteArray> renderTextPage(const MailMessage &message, const HeaderStamp &header, const PageBudget &budget,
                                      bool htmlAsText, PageStamp &stamp, PageStamp &noticeStamp, bool &cut);

    /// Where the column starts: the margins in whole pixels at the header stamp's
    /// resolution, in points, as on every page drawn before.
    QPointF columnTopLeft() const
    {
        return QPointF(layout.paintRectPixels(HeaderStamp::kStampResolution).topLeft()) * 72.0 /
               HeaderStamp::kStampResolution;
    }
};

PdfMailConverter::PdfMailConverter() : m_pages(std::make_unique<Pages>()) {}

PdfMailConverter::~PdfMailConverter() = default;

WebEngineRenderer &PdfMailConverter::webEngineRenderer()
{
    return m_pages->web();
}

Result<QByteArray> PdfMailConverter::Pages::renderTextPage(const MailMessage &message, const HeaderStamp &header,
                                                           const PageBudget &budget, bool htmlAsText, PageStamp &stamp,
                                                           PageStamp &noticeStamp, bool &cut)
{
    const QPointF column = columnTopLeft();
    Result<PageStamp> headerStamp = header.toPageStamp(column);
    if (!headerStamp)
        return headerStamp.error();
    stamp = std::move(headerStamp.value());

    TextPageGeometry geometry = textPageGeometry(layout);
    // Where the header stamp's column starts, so the body lines up with it.
    geometry.leftPoints = column.x();
    geometry.topPoints = column.y();
    geometry.firstPageReservedPoints = header.reservedHeight();
    const TextPageLimit limit{budget.pages(), budget.noticeHeight()};
    MessagePageColumn pageColumn;
    pageColumn.widthPoints = geometry.widthPoints - geometry.leftPoints - geometry.rightPoints;
    pageColumn.heightPoints = geometry.heightPoints - geometry.topPoints - geometry.bottomPoints;
    pageColumn.htmlAsText = htmlAsText;
    Result<QByteArray> pdf =
        TextPageWriter(geometry, pageLanguageTag(message)).write(messageParagraphs(message, pageColumn), &limit, &cut);
    if (!pdf || !cut)
        return pdf;
    // In the room the last page keeps at its column's foot.
    Result<PageStamp> notice =
        budget.noticeStamp(QPointF(column.x(), geometry.heightPoints - geometry.bottomPoints - budget.noticeHeight()));
    if (!notice)
        return notice.error();
    noticeStamp = std::move(notice.value());
    return pdf;
}

Result<QByteArray> PdfMailConverter::Pages::render(const MailMessage &message,
                                                   const std::vector<AttachmentListing> &listings,
                                                   const HeaderStamp &header, const PageBudget &budget,
                                                   PageStamp &stamp, PageStamp &noticeStamp, bool &cut,
                                                   std::vector<std::string> &warnings, bool &htmlRendererCrashed)
{
    // Checked on every page drawn: a page without text loses the message unseen.
    const bool expectsText = hasDisplayableText(message);
    stamp = PageStamp{};

    // Chromium draws HTML bodies only; the text engine every other page, in any script.
    if (!hasHtmlBody(message))
        return withText(renderTextPage(message, header, budget, false, stamp, noticeStamp, cut), expectsText);

    {
        MessageResources resources;
        collectResources(message, resources);
        ComposeOptions options;
        options.paperSize = paperSizeOf(layout);
        WebEngineRenderer &engine = web();
        const MessageHost host = engine.openMessage();
        options.cidBaseUrl = host.resourceBase.toStdString();
        const QPointF column = columnTopLeft();
        Result<PageStamp> headerStamp = header.toPageStamp(column);
        if (!headerStamp)
            return headerStamp.error();
        stamp = std::move(headerStamp.value());
        // The web engine takes its margins from the layout alone, never from the page's CSS,
        // and clips what it draws to them: room kept this way cannot be taken back by the
        // message. It is kept on every page; finishPdf moves the later pages' content up.
        QPageLayout belowHeader = layout;
        belowHeader.setUnits(QPageLayout::Point);
        belowHeader.setTopMargin(belowHeader.margins().top() + header.reservedHeight());
        stamp.laterPagesRaise = header.reservedHeight();
        Result<QByteArray> pdf =
            engine.render(host, QByteArray::fromStdString(composeMessageHtml(message, listings, options)), resources,
                          belowHeader, &budget, &cut);
        // What the page tried to fetch was blocked; it only matters to tests.
        engine.takeBlockedUrls();
        if (!pdf) {
            htmlRendererCrashed = pdf.error().kind == FailureKind::WorkerCrashed;
            warnings.push_back("the HTML body was drawn by the plain-text renderer: " + pdf.error().message);
        } else {
            const Result<bool> drawsText = expectsText ? pdfDrawsText(pdf.value()) : Result<bool>(true);
            if (drawsText && drawsText.value()) {
                if (cut) {
                    // Below the last page's column, which finishPdf raises unless it is the first: in
                    // the room the raise leaves, or else in the bottom margin, where the web engine
                    // draws nothing.
                    const QRectF page = layout.fullRect(QPageLayout::Point);
                    const qreal raised = budget.pages() > 1 ? stamp.laterPagesRaise : 0;
                    Result<PageStamp> notice = budget.noticeStamp(
                        QPointF(column.x(), page.height() - layout.margins(QPageLayout::Point).bottom() - raised));
                    if (!notice)
                        return notice.error();
                    noticeStamp = std::move(notice.value());
                }
                return pdf;
            }
            // Style sheets that hide everything, or a page the engine could not lay out.
            warnings.push_back("the page the web engine drew showed none of the message's text; the plain-text "
                               "renderer drew it");
        }
        cut = false;
        stamp = PageStamp{};
    }

    // The text of the HTML bodies, with the rest of the page as the text engine draws it.
    return withText(renderTextPage(message, header, budget, true, stamp, noticeStamp, cut), expectsText);
}

Result<ConvertedMessage> PdfMailConverter::Convert(const FileInFolder &source, const FileInFolder &destination,
                                                   const std::string &options)
{
    Result<OpenFile> message = source.folder.openForReading(source.name);
    if (!message)
        return message.error();
    Result<std::string> digest = fileDigest(message.value());
    if (!digest)
        return digest.error();
    const std::string mark = messageMark(digest.value(), source.name);
    const CommitMark commitMark{mark, m_takesBackOutputs};
    const CommitPlan plan = planCommit(destination, {}, commitMark);
    Result<RenderedMessage> rendered = render(message.value(), source.path(), plan, options);
    if (!rendered)
        return rendered.error();
    return commitRenderedMessage(FileInFolder{destination.folder, PathFileName(plan.pdfPath)},
                                 std::move(rendered).value(), commitMark);
}

Result<RenderedMessage> PdfMailConverter::render(const OpenFile &messageFile, const std::string &messageName,
                                                 const CommitPlan &target, const std::string &options)
{
    const std::optional<AttachmentMode> mode = attachmentModeFor(options);
    if (!mode)
        return Error{"unknown options text '" + options + "' (expected '" + std::string(kConvertPdfOnly) + "', '" +
                         std::string(kConvertEmbedAttachments) + "' or '" + std::string(kConvertAttachmentFolder) +
                         "')",
                     FailureKind::InternalError};

    Result<MailMessage> parsed = parseMailMessageFile(messageFile);
    if (!parsed)
        return parsed.error();
    MailMessage &message = parsed.value();
    // Uuencoded files in a plain-text body are attachments too, and leave the shown text.
    moveUuencodedFilesToAttachments(message);
    RenderedMessage rendered;
    Result<std::string> digest = fileDigest(messageFile);
    if (!digest)
        return digest.error();
    rendered.messageDigest = std::move(digest).value();
    ConvertedMessage &converted = rendered.converted;
    converted.warnings = message.warnings;
    // The attachments' folder and links, and the embedded source, are named after the planned path.
    const std::string &plannedPath = target.pdfPath;
    converted.writtenPath = plannedPath;
    std::string messageSource;
    std::string messageSourceFile;
    if (m_embedsSource) {
        Result<std::string> read = readMessageSource(messageFile);
        if (!read)
            return read.error();
        messageSource = std::move(read.value());
        messageSourceFile = messageSourceName(plannedPath);
        converted.embeddedSourceSha256 = sha256Hex(messageSource);
    }
    std::vector<CutBody> cutBodies;
    limitBodySizes(message, messageSourceFile, cutBodies, converted.warnings);
    // Images over the budget become attachments, so they are listed and saved like the rest.
    message.imagesNotDrawn = undrawnImagesNote(keepImagesWithinBudget(message));
    if (!message.imagesNotDrawn.empty()) {
        std::string warning = "not drawn: " + message.imagesNotDrawn;
        if (*mode == AttachmentMode::ListOnly && messageSourceFile.empty()) {
            // Neither the attachments nor the message itself are saved in or beside the PDF,
            // so only the message file has them.
            converted.keepMessageFile = true;
            warning += "; the message file is kept, as they are saved nowhere else";
        }
        converted.warnings.push_back(std::move(warning));
    }
    if (holdsEncryptedParts(message) && *mode == AttachmentMode::ListOnly && messageSourceFile.empty()) {
        // The encrypted parts are all there is of the content, and this option saves them nowhere.
        converted.keepMessageFile = true;
        converted.warnings.push_back("the message is encrypted and its encrypted parts are saved nowhere else, so "
                                     "the message file is kept");
    }
    MessageAttachments attachments;
    Result<std::vector<AttachmentListing>> listings = attachments.prepare(message, *mode, target);
    if (!listings)
        return listings.error().within("'" + messageName + "': ");

    const HeaderStamp header = headerStampFor(message, listings.value(), m_pages->layout);
    const PageBudget budget(m_messagePages, *mode != AttachmentMode::ListOnly || !messageSourceFile.empty(),
                            m_pages->layout.paintRect(QPageLayout::Point).width());
    PdfFinishing finishing;
    bool pagesCut = false;
    Result<QByteArray> pdf =
        m_pages->render(message, listings.value(), header, budget, finishing.firstPageStamp, finishing.lastPageStamp,
                        pagesCut, converted.warnings, rendered.htmlRendererCrashed);
    if (!pdf)
        return pdf.error().within("'" + messageName + "': cannot render: ");
    if (pagesCut && !finishing.lastPageStamp.pdf.isEmpty())
        finishing.keptPages = budget.pages(); // the web engine printed one page more
    if (pagesCut)
        keepWholeTextOfCutPages(message, budget.pages(), *mode, messageSourceFile, cutBodies, attachments, converted);
    // After the pages' whole texts, which are numbered by the bodies before them.
    if (!message.cutHeaderFields.empty()) {
        if (Result<void> kept =
                keepWholeHeaderBlock(message, messageFile, *mode, messageSourceFile, cutBodies, attachments, converted);
            !kept)
            return kept.error().within("'" + messageName + "': ");
    }

    finishing.metadata = metadataOf(message, plannedPath);
    finishing.edit = [&](QPDF &document) -> Result<void> {
        if (Result<void> edited = attachments.editPdf(document, finishing.minimumPdfVersion); !edited)
            return edited;
        if (!cutBodies.empty()) {
            std::vector<AttachmentFile> wholeBodies;
            for (const CutBody &body : cutBodies)
                wholeBodies.push_back({body.fileName, body.mimeType, body.text});
            finishing.minimumPdfVersion = kEmbeddedFilesMinimumPdfVersion;
            if (Result<void> embedded = embedAttachments(document, wholeBodies); !embedded)
                return embedded;
        }
        if (messageSourceFile.empty())
            return {};
        finishing.minimumPdfVersion = kEmbeddedFilesMinimumPdfVersion;
        const std::string modDate = finishing.metadata.created.isValid() ? pdfDate(finishing.metadata.created) : "";
        return embedMessageSource(document, messageSource, messageSourceFile, modDate);
    };
    Result<std::string> finished = finishPdf(pdf.value(), finishing);
    if (!finished)
        return finished.error().within("'" + plannedPath + "': ");
    rendered.pdf = std::move(finished).value();
    converted.attachmentsEmbedded = attachments.embeddedCount();
    attachments.addFilesToSave(rendered);
    return rendered;
}

MailConverterFactory pdfMailConverterFactory()
{
    return []() -> Result<std::unique_ptr<MailConverter>> {
        if (!QGuiApplication::instance())
            return Error{"the PDF converter needs a running Qt application", FailureKind::InternalError};
        return std::unique_ptr<MailConverter>(std::make_unique<PdfMailConverter>());
    };
}

} // namespace tessaly
