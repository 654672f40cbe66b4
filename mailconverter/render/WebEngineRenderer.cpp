#include "mailconverter/render/WebEngineRenderer.h"

#include "mailconverter/pdf/PdfPageCount.h"
#include "mailconverter/render/BlockingRequestInterceptor.h"
#include "mailconverter/render/MessageSchemeHandler.h"
#include "mailconverter/render/PageBudget.h"
#include "mailconverter/render/PageWidthFit.h"

#include <QEventLoop>
#include <QPageRanges>
#include <QRect>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include <memory>
#include <optional>

namespace tessaly {
namespace {

constexpr int kCssPixelsPerInch = 96;

/// A page that stays on the document it was given: meta refresh, links, form posts and
/// frames that would navigate elsewhere are refused.
class MessagePage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

    void expect(const QUrl &url) { m_expected = url; }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        return isMainFrame && url == m_expected;
    }

    // Blocked parts make the engine log "Not allowed to load local resource" and the like;
    // with scripts off nothing else speaks here, and none of it is for the user.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}

private:
    QUrl m_expected;
};

void lockDown(QWebEngineSettings *settings)
{
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebGLEnabled, false);
    settings->setAttribute(QWebEngineSettings::Accelerated2dCanvasEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    settings->setAttribute(QWebEngineSettings::PrintElementBackgrounds, true);
}

/// What one render waits for. Shared with the callbacks, which may outlive the render when
/// a page is abandoned after a timeout.
struct PendingRender
{
    QEventLoop loop;
    bool finished = false;
    bool printing = false;
    bool cut = false;
    QByteArray pdf;
    QString failure;
    FailureKind failureKind = FailureKind::RenderFailed;

    void finish(QByteArray bytes, QString reason, FailureKind kind = FailureKind::RenderFailed)
    {
        if (finished)
            return;
        finished = true;
        pdf = std::move(bytes);
        failure = std::move(reason);
        failureKind = kind;
        loop.quit();
    }
};

} // namespace

WebEngineRenderer::WebEngineRenderer(QObject *parent) : QObject(parent)
{
    // No storage name: off the record, so nothing of a message is written to disk.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    lockDown(m_profile->settings());

    m_interceptor = new BlockingRequestInterceptor(this);
    m_profile->setUrlRequestInterceptor(m_interceptor);
    m_schemeHandler = new MessageSchemeHandler(this);
    m_profile->installUrlSchemeHandler(kMessageScheme, m_schemeHandler);

    createPage();
}

WebEngineRenderer::~WebEngineRenderer()
{
    // The page must go before its profile.
    delete m_page;
}

void WebEngineRenderer::createPage()
{
    // Never called from one of the page's own signals, so it can go at once.
    delete m_page;
    m_page = new MessagePage(m_profile, this);
    lockDown(m_page->settings());
    // A page without a view counts as hidden, and Chromium throttles hidden pages.
    m_page->setVisible(true);
}

MessageHost WebEngineRenderer::openMessage()
{
    MessageHost host;
    // Distinct origins under one site: a new site would cost a render-process swap (~200 ms)
    // per message. The scheme handler serves only the host being rendered.
    host.host = QStringLiteral("m%1.messages.tessaly").arg(m_nextHost++);
    const QString root = QLatin1String(kMessageScheme) + QStringLiteral("://") + host.host;
    host.documentUrl = QUrl(root + QLatin1String(kDocumentPath));
    host.resourceBase = root + QLatin1String(kResourcePathPrefix);
    return host;
}

Result<QByteArray> WebEngineRenderer::render(const MessageHost &host, QByteArray html, MessageResources resources,
                                             const QPageLayout &layout, const PageBudget *budget, bool *cut)
{
    m_schemeHandler->publish(host.host, std::move(html), std::move(resources));
    auto *page = static_cast<MessagePage *>(m_page.data());
    page->expect(host.documentUrl);

    auto pending = std::make_shared<PendingRender>();
    // Connections live as long as this object, i.e. for this render only.
    QObject connections;
    // The document comes from memory, so a load reported as failed only means that a part
    // or a navigation was refused (a meta refresh, a frame): print what is there.
    // QWebEnginePage::contentsSize() stays 0×0 on a page without a view (Qt 6.4), so the
    // length of a page is learnt by printing one page past the budget: a page flood costs
    // the budget, never its 37,000 pages.
    const int maxPages = budget ? budget->pages() : 0;
    const auto print = [page, layout, maxPages](const std::weak_ptr<PendingRender> &weak) {
        QPageRanges onePagePast;
        if (maxPages > 0)
            onePagePast.addRange(1, maxPages + 1);
        page->printToPdf(
            [weak, maxPages](const QByteArray &pdf) {
                auto render = weak.lock();
                if (!render)
                    return;
                if (maxPages > 0 && !pdf.isEmpty()) {
                    const Result<int> pages = countPdfPages(pdf);
                    render->cut = pages && pages.value() > maxPages;
                }
                render->finish(pdf, pdf.isEmpty() ? QStringLiteral("printing failed") : QString());
            },
            layout, onePagePast);
    };
    // A body wider than the column is scaled to fit it before it is printed (PageWidthFit).
    const qreal columnWidth = layout.paintRectPixels(kCssPixelsPerInch).width();
    QObject::connect(page, &QWebEnginePage::loadFinished, &connections, [pending, page, print, columnWidth](bool) {
        if (pending->printing)
            return;
        pending->printing = true;
        std::weak_ptr<PendingRender> weak = pending;
        page->runJavaScript(PageWidthFit::measureScript(), QWebEngineScript::ApplicationWorld,
                            [weak, page, print, columnWidth](const QVariant &width) {
                                auto measured = weak.lock();
                                if (!measured || measured->finished)
                                    return;
                                // No answer (a page without a document) leaves the page as it is.
                                const PageWidthFit fit(width.toDouble(), columnWidth);
                                if (!fit.isNeeded()) {
                                    print(weak);
                                    return;
                                }
                                page->runJavaScript(fit.applyScript(), QWebEngineScript::ApplicationWorld,
                                                    [weak, print](const QVariant &) {
                                                        auto scaled = weak.lock();
                                                        if (scaled && !scaled->finished)
                                                            print(weak);
                                                    });
                            });
    });
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, &connections,
                     [pending](QWebEnginePage::RenderProcessTerminationStatus, int exitCode) {
                         pending->finish({}, QStringLiteral("the render process ended (exit code %1)").arg(exitCode),
                                         FailureKind::WorkerCrashed);
                     });
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &connections, [pending, this] {
        pending->finish({}, QStringLiteral("rendering took longer than %1 s").arg(m_timeout.count() / 1000));
    });

    timeout.start(m_timeout);
    page->load(host.documentUrl);
    if (!pending->finished)
        pending->loop.exec(QEventLoop::ExcludeUserInputEvents);
    timeout.stop();
    m_schemeHandler->withdraw(host.host);

    if (!pending->failure.isEmpty()) {
        // A page that hung or lost its renderer is not trusted with the next message.
        createPage();
        return Error{pending->failure.toStdString(), pending->failureKind};
    }
    if (cut)
        *cut = pending->cut;
    return pending->pdf;
}

QStringList WebEngineRenderer::takeBlockedUrls()
{
    return m_interceptor->takeBlockedUrls();
}

} // namespace tessaly
