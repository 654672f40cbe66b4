// Renders HTML message pages to PDF with one long-lived, locked-down Qt WebEngine page.
#pragma once

#include "mailconverter/render/MessageScheme.h"
#include "support/Result.h"

#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <chrono>

class QWebEnginePage;
class QWebEngineProfile;

namespace tessaly {

class BlockingRequestInterceptor;
class MessageSchemeHandler;
class PageBudget;

/// Where one message lives while it is rendered.
struct MessageHost
{
    QString host;         ///< "m<N>.messages.tessaly", never reused within a renderer
    QUrl documentUrl;     ///< where its document is served
    QString resourceBase; ///< prefix for its cid: parts: resourceBase + percent-encoded Content-ID
};

/// One off-the-record profile and page, reused for every message. JavaScript, plugins and
/// every request outside the message scheme are off, and no navigation leaves the document;
/// the renderer's own scripts (PageWidthFit) run in a world of their own.
/// Needs a QGuiApplication, created after `prepareMailConverterApplication()`.
class WebEngineRenderer : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};

    explicit WebEngineRenderer(QObject *parent = nullptr);
    ~WebEngineRenderer() override;

    /// Reserves a fresh host for the next message; compose its page with `resourceBase`.
    MessageHost openMessage();

    /// Loads `html` (UTF-8) under `host` with `resources` and prints it, scaled down to the
    /// width of the layout's column when it lays out wider (PageWidthFit). Waits in a local
    /// event loop; on failure, a crash of the render process (kind WorkerCrashed) or after
    /// `timeout` it returns an Error (and starts a fresh page for the next message).
    ///
    /// With a `budget`, at most one page more than its pages is printed, never the whole of
    /// a page that runs longer; `*cut` (when given) says whether that page is there, to be
    /// dropped (PdfFinishing::keptPages) and the notice stamped in the margin at the foot of
    /// the page before it.
    Result<QByteArray> render(const MessageHost &host, QByteArray html, MessageResources resources,
                              const QPageLayout &layout, const PageBudget *budget = nullptr, bool *cut = nullptr);

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    /// The URLs blocked since the last call: what the pages tried to fetch from outside.
    QStringList takeBlockedUrls();

private:
    void createPage();

    QWebEngineProfile *m_profile = nullptr;
    BlockingRequestInterceptor *m_interceptor = nullptr;
    MessageSchemeHandler *m_schemeHandler = nullptr;
    QPointer<QWebEnginePage> m_page;
    quint64 m_nextHost = 1;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
};

} // namespace tessaly
