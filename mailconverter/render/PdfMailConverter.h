// The converter component: message file in, finished PDF out.
#pragma once

#include "mailconverter/attachments/MessageCommit.h"
#include "mailconverter/render/PageBudget.h"
#include "platform/MailConverter.h"
#include "support/OpenFile.h"

#include <memory>
#include <string>

namespace tessaly {

class WebEngineRenderer;

/// Converts message files to PDF. A message with an HTML body is drawn by Qt WebEngine, every
/// other one by the text engine (TextPageWriter), which also draws the HTML bodies' text
/// (with a warning) when the web engine fails. Renders in memory; the commit writes through a temporary file beside the
/// destination and never overwrites. Needs a QGuiApplication, created after `prepareMailConverterApplication()`;
/// the web engine starts at the first HTML message and serves the whole run.
class PdfMailConverter : public MailConverter
{
public:
    PdfMailConverter();
    ~PdfMailConverter() override;

    using MailConverter::Convert;
    /// Renders, then commits with commitRenderedMessage. In this process, the message file is
    /// opened through its folder (the run's workers get it open from the supervisor instead).
    Result<ConvertedMessage> Convert(const FileInFolder &source, const FileInFolder &destination,
                                     const std::string &options) override;
    void takeBackUnrecordedOutputs() override { m_takesBackOutputs = true; }

    /// Renders the open message file `message`, read from its start, for committing as
    /// `target` says, writing nothing. `messageName` names the message in errors.
    Result<RenderedMessage> render(const OpenFile &message, const std::string &messageName, const CommitPlan &target,
                                   const std::string &options);

    /// Whether each PDF carries its message, as the message file holds it without the
    /// mailbox's envelope line, as "<PDF name>.eml" (off by default). That file then also
    /// stands for the whole text of a body too long for the page.
    void setEmbedsSource(bool embedsSource) { m_embedsSource = embedsSource; }

    /// How many pages one message may fill (kDefaultMessagePages unless set; at least 1).
    /// A message that runs longer is cut there with a notice on its last page, and its whole
    /// text is kept as its attachments are: embedded ("message body.txt"), saved in its
    /// attachments folder, or, when neither, in the message file, which is then kept. The
    /// embedded source, when there is one, carries it already. A warning says which.
    void setMessagePages(int pages) { m_messagePages = pages; }

    /// The web renderer, started on first use; exposed for tests of what pages fetched.
    WebEngineRenderer &webEngineRenderer();

private:
    struct Pages;
    std::unique_ptr<Pages> m_pages;
    bool m_embedsSource = false;
    bool m_takesBackOutputs = false;
    int m_messagePages = kDefaultMessagePages;
};

/// Makes PdfMailConverters; each call fails unless a QGuiApplication exists.
MailConverterFactory pdfMailConverterFactory();

} // namespace tessaly
